// SQLite backend. Errors are reported as minus SQLite's extended result code (a missing table
// is -1, a locked database -5, a damaged file -11).
#include "backends/sqlite.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#include "backends/sql_dialect.hpp"
#include "db/oracle_compat.hpp"
#include "text/cp1252.hpp"

namespace zibrolt::backend {
namespace {

// A writer holding the file gets this long before the run gives up with a clear error.
constexpr int kBusyTimeoutMs = 3000;

int Status(sqlite3* db) { return -sqlite3_extended_errcode(db); }

class SqliteStatement final : public Statement {
 public:
  SqliteStatement(sqlite3* db, sqlite3_stmt* stmt, std::span<const Column> outputs)
      : db_(db), stmt_(stmt), outputs_(outputs.begin(), outputs.end()) {}
  ~SqliteStatement() override { sqlite3_finalize(stmt_); }

  // Oracle runs a query when it is executed or opened, so errors surface there; SQLite runs it
  // at the first step, which is therefore taken here and its row kept for the first Next.
  int Run(std::span<const Bind> binds, Reading) override {
    sqlite3_reset(stmt_);
    // Inputs beyond the statement's placeholders are not the statement's: they are passed over.
    const std::size_t count =
        std::min(binds.size(), static_cast<std::size_t>(sqlite3_bind_parameter_count(stmt_)));
    utf8_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      const Bind& b = binds[i];
      const int index = static_cast<int>(i) + 1;
      int rc;
      if (b.isInt) {
        rc = sqlite3_bind_int(stmt_, index, b.number);
      } else {
        // Badge numbers and terminal names are ASCII, which is the same in both: copied whole.
        if (std::all_of(b.text.begin(), b.text.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
          utf8_[i].assign(b.text);
        } else {
          utf8_[i].clear();
          Cp1252ToUtf8(b.text, utf8_[i]);
        }
        rc = sqlite3_bind_text(stmt_, index, utf8_[i].data(), static_cast<int>(utf8_[i].size()),
                               SQLITE_STATIC);
      }
      if (rc != SQLITE_OK) return Status(db_);
    }
    pending_ = sqlite3_step(stmt_);
    if (pending_ == SQLITE_ROW || pending_ == SQLITE_DONE) return kOk;
    const int status = Status(db_);
    sqlite3_reset(stmt_);
    return status;
  }

  int Next(Row* row) override {
    int rc = pending_;
    pending_ = 0;
    if (rc == 0) rc = sqlite3_step(stmt_);
    if (rc == SQLITE_DONE) return kNoRow;
    if (rc != SQLITE_ROW) return Status(db_);
    if (row) ReadRow(*row);
    return kOk;
  }

  void Reset() override {
    pending_ = 0;
    sqlite3_reset(stmt_);
  }

 private:
  void ReadRow(Row& row) {
    for (std::size_t c = 0; c < outputs_.size(); ++c) {
      const int col = static_cast<int>(c);
      if (outputs_[c].kind == Column::kInt) {
        const bool null = sqlite3_column_type(stmt_, col) == SQLITE_NULL;
        row.nulls[c] = null;
        row.ints[c] = null ? 0 : sqlite3_column_int64(stmt_, col);
        continue;
      }
      std::string& text = row.texts[c];
      text.clear();
      const auto* s = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
      row.nulls[c] = s == nullptr;  // the text of a NULL is no pointer at all
      if (!s) continue;
      // A NUL inside a value is kept: cutting there could turn one badge number into another;
      // the generators leave such values out of the files.
      Utf8ToCp1252(std::string_view(s, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))),
                   text);
    }
  }

  sqlite3* db_;
  sqlite3_stmt* stmt_;
  std::vector<Column> outputs_;
  std::vector<std::string> utf8_;  // the inputs as SQLite takes them, alive while it runs
  int pending_ = 0;                // result of the step taken at Run, not yet delivered
};

class SqliteConnection final : public Connection {
 public:
  explicit SqliteConnection(sqlite3* db) : db_(db) {}
  ~SqliteConnection() override { sqlite3_close(db_); }

  std::unique_ptr<Statement> Prepare(std::string_view text, std::span<const Column> outputs,
                                     int& status) override {
    const std::string sql = ToSqliteDialect(text);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                           SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
      status = Status(db_);
      return nullptr;
    }
    if (sqlite3_column_count(stmt) < static_cast<int>(outputs.size())) {
      sqlite3_finalize(stmt);
      status = -SQLITE_RANGE;
      return nullptr;
    }
    status = kOk;
    return std::make_unique<SqliteStatement>(db_, stmt, outputs);
  }

  int SwitchSchema(std::string_view schema) override { return SqliteSchemaSwitch(schema); }
  bool PrefersBatches() const override { return false; }

 private:
  sqlite3* db_;
};

// The status of a failed step of the connect; the handle is closed.
int Fail(sqlite3* db, int status) {
  sqlite3_close(db);
  return status;
}

}  // namespace

int ConnectSqlite(std::string_view path, std::string_view, std::string_view,
                  std::unique_ptr<Connection>& connection, std::string&) {
  // SQLite's memory statistics take a process-wide lock on every allocation; nothing reads
  // them. This only takes effect before the library's first use, and is harmless after it.
  static const bool unused = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
  (void)unused;
  // An empty path would open a private temporary database: there is no installation in it.
  if (path.empty()) return kNoInstallation;
  sqlite3* db = nullptr;
  const std::string file(path);
  // One thread uses the connection, so SQLite need not lock it on every call.
  const int rc =
      sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) return Fail(db, db ? Status(db) : -SQLITE_NOMEM);
  // A misspelt column in double quotes must be an error, not a string literal.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  if (RegisterOracleCompat(db) != SQLITE_OK ||
      sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
    return Fail(db, Status(db));
  // Reading the schema now turns a file that is no database into a failed connect, and one
  // that holds none of the installation's tables (an empty or new file) as well. A single
  // missing table fails where it is needed, with the statement that needs it.
  sqlite3_stmt* probe = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT count(*) FROM sqlite_schema WHERE type IN ('table','view') AND "
                         "lower(name) IN ('kvd1140trm','kvd115tfz','kvd301asw','kvd113awv',"
                         "'mgsst35p','kvd301awb','kvd401zls','kvd113sto','o2002tsw',"
                         "'kvd119msd','kvd102whl')",
                         -1, &probe, nullptr) != SQLITE_OK ||
      sqlite3_step(probe) != SQLITE_ROW) {
    const int status = Status(db);
    sqlite3_finalize(probe);
    return Fail(db, status);
  }
  const bool installed = sqlite3_column_int(probe, 0) > 0;
  sqlite3_finalize(probe);
  if (!installed) return Fail(db, kNoInstallation);
  connection = std::make_unique<SqliteConnection>(db);
  return kOk;
}

}  // namespace zibrolt::backend
