// SQLite backend. Errors are reported as minus SQLite's extended result code (a missing table
// is -1, a locked database -5, a damaged file -11).
#include "backends/sqlite.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "backends/sql_dialect.hpp"
#include "backends/sqlite_read_ahead.hpp"
#include "db/oracle_compat.hpp"
#include "platform/files.hpp"
#include "text/cp1252.hpp"

namespace zibrolt::backend {
namespace {

// A writer holding the file gets this long before the run gives up with a clear error.
constexpr int kBusyTimeoutMs = 3000;

int Status(sqlite3* db) { return -sqlite3_extended_errcode(db); }

// Opens file as every connection of a run has it: read-only, used by one thread at a time (so
// SQLite need not lock it on every call), with the Oracle functions, in a transaction whose read
// begins with the first statement. Returns the status; db is then open or null.
int OpenForReading(const std::string& file, sqlite3*& db) {
  db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    const int status = db ? Status(db) : -SQLITE_NOMEM;
    sqlite3_close(db);
    db = nullptr;
    return status;
  }
  // A misspelt column in double quotes must be an error, not a string literal.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  if (RegisterOracleCompat(db) != SQLITE_OK ||
      sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
    const int status = Status(db);
    sqlite3_close(db);
    db = nullptr;
    return status;
  }
  return kOk;
}

// The second connection of a run, on which long lists are read ahead (sqlite_read_ahead.hpp).
// It must see exactly what the run's connection sees. That one reads in a transaction begun at
// connect, so from then on no writer can commit: a commit waits until every reader has ended.
// Any connection made later to the same file therefore sees the same database. Not so in WAL
// mode, where writers commit beside readers: there no second connection is made and lists are
// read as they come. Nor where the path has come to name another file since the connect (a
// database copied into place meanwhile): the run reads on in the file it opened, which the
// second connection could not open any more.
class ListReader {
 public:
  // file: the path the run's connection opened; identity: the file it opened (FileIdentity),
  // empty when that is not certain.
  ListReader(sqlite3* run, std::string file, std::string identity)
      : run_(run), file_(std::move(file)), identity_(std::move(identity)) {}
  ~ListReader() { sqlite3_close(db_); }
  ListReader(const ListReader&) = delete;
  ListReader& operator=(const ListReader&) = delete;

  // The connection for one list at a time, made on first use; nullptr when it cannot be made
  // or another list is being read on it. Release gives it back once the list's thread is done.
  sqlite3* Take() {
    if (!tried_) {
      tried_ = true;
      db_ = Open();
    }
    if (taken_ || !db_) return nullptr;
    taken_ = true;
    return db_;
  }
  void Release() { taken_ = false; }

 private:
  sqlite3* Open() const {
    if (identity_.empty() || !SameFile() || InWalMode()) return nullptr;
    sqlite3* db = nullptr;
    if (OpenForReading(file_, db) != kOk) return nullptr;
    // Without a busy timeout: a writer waiting for the run to end keeps new readers out, and
    // then the list is read on the run's connection at once. The read begins here, while the
    // path still names the run's file.
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr) !=
            SQLITE_OK ||
        !SameFile()) {
      sqlite3_close(db);
      return nullptr;
    }
    return db;
  }

  bool SameFile() const { return platform::FileIdentity(file_) == identity_; }

  bool InWalMode() const {
    sqlite3_stmt* mode = nullptr;
    bool wal = true;  // unless the database says otherwise
    if (sqlite3_prepare_v2(run_, "PRAGMA journal_mode", -1, &mode, nullptr) == SQLITE_OK &&
        sqlite3_step(mode) == SQLITE_ROW) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(mode, 0));
      wal = text == nullptr || sqlite3_stricmp(text, "wal") == 0;
    }
    sqlite3_finalize(mode);
    return wal;
  }

  sqlite3* run_;
  std::string file_;
  std::string identity_;
  sqlite3* db_ = nullptr;
  bool tried_ = false;
  bool taken_ = false;
};

class SqliteStatement final : public Statement {
 public:
  SqliteStatement(sqlite3* db, sqlite3_stmt* stmt, std::span<const Column> outputs,
                  ListReader& lists)
      : db_(db), stmt_(stmt), outputs_(outputs.begin(), outputs.end()), lists_(lists) {}
  ~SqliteStatement() override {
    StopReadingAhead();
    sqlite3_finalize(aheadStmt_);
    sqlite3_finalize(stmt_);
  }

  // Oracle runs a query when it is executed or opened, so errors surface there; SQLite runs it
  // at the first step, which is therefore taken here and its row kept for the first Next.
  int Run(std::span<const Bind> binds, Reading reading) override {
    StopReadingAhead();
    sqlite3_reset(stmt_);
    // Badge numbers and terminal names are ASCII, which is the same in both: copied whole.
    const std::size_t count =
        std::min(binds.size(), static_cast<std::size_t>(sqlite3_bind_parameter_count(stmt_)));
    utf8_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      const Bind& b = binds[i];
      if (b.isInt) continue;
      if (std::all_of(b.text.begin(), b.text.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        utf8_[i].assign(b.text);
      } else {
        utf8_[i].clear();
        Cp1252ToUtf8(b.text, utf8_[i]);
      }
    }
    if (reading == Reading::kList && StartReadingAhead(binds)) return kOk;
    if (!BindInputs(stmt_, binds)) return Status(db_);
    pending_ = sqlite3_step(stmt_);
    if (pending_ == SQLITE_ROW || pending_ == SQLITE_DONE) return kOk;
    const int status = Status(db_);
    sqlite3_reset(stmt_);
    return status;
  }

  int Next(Row* row) override {
    if (ahead_) return ahead_->Next(row);
    int rc = pending_;
    pending_ = 0;
    if (rc == 0) rc = sqlite3_step(stmt_);
    if (rc == SQLITE_DONE) return kNoRow;
    if (rc != SQLITE_ROW) return Status(db_);
    if (row) ReadSqliteRow(stmt_, outputs_, *row);
    return kOk;
  }

  void Reset() override {
    StopReadingAhead();
    pending_ = 0;
    sqlite3_reset(stmt_);
  }

 private:
  // Binds the inputs (as converted into utf8_) to the placeholders of stmt. Inputs beyond the
  // statement's placeholders are not the statement's: they are passed over.
  bool BindInputs(sqlite3_stmt* stmt, std::span<const Bind> binds) const {
    for (std::size_t i = 0; i < utf8_.size(); ++i) {
      const int index = static_cast<int>(i) + 1;
      const int rc = binds[i].isInt
                         ? sqlite3_bind_int(stmt, index, binds[i].number)
                         : sqlite3_bind_text(stmt, index, utf8_[i].data(),
                                             static_cast<int>(utf8_[i].size()), SQLITE_STATIC);
      if (rc != SQLITE_OK) return false;
    }
    return true;
  }

  // Runs the statement on the list reader's connection and reads it ahead from its first row
  // on. Where anything of that fails, the statement runs on the run's own connection as it
  // always did, and answers from there.
  bool StartReadingAhead(std::span<const Bind> binds) {
    sqlite3* reader = lists_.Take();
    if (!reader) return false;
    if (!aheadStmt_ && sqlite3_prepare_v3(reader, sqlite3_sql(stmt_), -1, SQLITE_PREPARE_PERSISTENT,
                                          &aheadStmt_, nullptr) != SQLITE_OK) {
      sqlite3_finalize(aheadStmt_);
      aheadStmt_ = nullptr;
      lists_.Release();
      return false;
    }
    int rc = BindInputs(aheadStmt_, binds) ? sqlite3_step(aheadStmt_) : SQLITE_ERROR;
    if (rc == SQLITE_ROW) {
      try {
        ahead_ = std::make_unique<ReadAhead>(reader, aheadStmt_, outputs_);
        return true;
      } catch (const std::system_error&) {  // no thread to be had
        rc = SQLITE_ERROR;
      }
    }
    sqlite3_reset(aheadStmt_);
    lists_.Release();
    if (rc != SQLITE_DONE) return false;
    pending_ = rc;  // an empty list: nothing to read ahead
    return true;
  }

  void StopReadingAhead() {
    if (!ahead_) return;
    ahead_.reset();  // the thread is done with the reader's connection
    sqlite3_reset(aheadStmt_);
    lists_.Release();
  }

  sqlite3* db_;
  sqlite3_stmt* stmt_;
  std::vector<Column> outputs_;
  ListReader& lists_;
  std::vector<std::string> utf8_;      // the inputs as SQLite takes them, alive while it runs
  int pending_ = 0;                    // result of the step taken at Run, not yet delivered
  sqlite3_stmt* aheadStmt_ = nullptr;  // this statement on the list reader's connection
  std::unique_ptr<ReadAhead> ahead_;   // while a list is read ahead
};

class SqliteConnection final : public Connection {
 public:
  SqliteConnection(sqlite3* db, std::string file, std::string identity)
      : db_(db), lists_(db, std::move(file), std::move(identity)) {}
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
    return std::make_unique<SqliteStatement>(db_, stmt, outputs, lists_);
  }

  int SwitchSchema(std::string_view schema) override { return SqliteSchemaSwitch(schema); }
  bool PrefersBatches() const override { return false; }
  // The transaction begun at connect is open until SQLite rolls it back after an error.
  bool ViewKept() const override { return sqlite3_get_autocommit(db_) == 0; }

 private:
  sqlite3* db_;
  ListReader lists_;
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
  // The file the path names before the open and after the connect: the one opened, when equal.
  std::string identity = platform::FileIdentity(file);
  if (const int status = OpenForReading(file, db); status != kOk) return status;
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
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
  if (platform::FileIdentity(file) != identity) identity.clear();
  connection = std::make_unique<SqliteConnection>(db, file, std::move(identity));
  return kOk;
}

}  // namespace zibrolt::backend
