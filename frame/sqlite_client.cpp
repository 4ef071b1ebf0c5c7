// SQLite backend of the client layer. Errors are reported as minus SQLite's extended result
// code (a missing table is -1, a locked database -5, a damaged file -11).
#include "frame/sqlite_client.hpp"

#include <sqlite3.h>

#include <cctype>
#include <string>
#include <vector>

#include "db/oracle_compat.hpp"
#include "frame/sql_dialect.hpp"
#include "frame/text_1252.hpp"

namespace zibrolt::sqlhlp {
namespace {

// A writer holding the file gets this long before the run gives up with a clear error.
constexpr int kBusyTimeoutMs = 3000;

int Status(sqlite3* db) { return -sqlite3_extended_errcode(db); }

class SqliteStatement final : public Statement {
 public:
  SqliteStatement(sqlite3* db, const Query& query, Counters& counters)
      : db_(db), outputs_(query.outputs.begin(), query.outputs.end()), counters_(counters) {
    std::string sql = ToSqliteDialect(query.text);
    if (sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &stmt_, nullptr) != SQLITE_OK)
      prepareStatus_ = Status(db);
    if (stmt_ && sqlite3_column_count(stmt_) < static_cast<int>(outputs_.size())) {
      sqlite3_finalize(stmt_);
      stmt_ = nullptr;
      prepareStatus_ = -SQLITE_RANGE;
    }
    texts_.resize(outputs_.size());
    ints_.resize(outputs_.size());
    nulls_.resize(outputs_.size());
    int params = stmt_ ? sqlite3_bind_parameter_count(stmt_) : 0;
    binds_.resize(params);
  }
  ~SqliteStatement() override { sqlite3_finalize(stmt_); }

  void BindText(int index, std::string_view value) override {
    if (index < 0 || index >= static_cast<int>(binds_.size())) return;
    Bind& b = binds_[index];
    b.isInt = false;
    b.text.clear();
    Cp1252ToUtf8(value, b.text);
  }
  void BindInt(int index, std::int32_t value) override {
    if (index < 0 || index >= static_cast<int>(binds_.size())) return;
    binds_[index].isInt = true;
    binds_[index].number = value;
  }

  int Execute() override {
    if (int rc = Start(); rc != kOk) return rc;
    int rc = sqlite3_step(stmt_);
    int status = (rc == SQLITE_DONE || rc == SQLITE_ROW) ? kOk : Status(db_);
    sqlite3_reset(stmt_);
    return status;
  }

  int SelectOne() override {
    if (int rc = Start(); rc != kOk) return rc;
    int rc = sqlite3_step(stmt_);
    int status;
    if (rc == SQLITE_ROW) {
      ReadRow();
      rc = sqlite3_step(stmt_);
      status = rc == SQLITE_DONE ? kOk : rc == SQLITE_ROW ? kTooManyRows : Status(db_);
    } else {
      status = rc == SQLITE_DONE ? kNoRow : Status(db_);
    }
    sqlite3_reset(stmt_);
    return status;
  }

  // Oracle runs a cursor's query at OPEN, so errors surface there; SQLite runs it at the first
  // step, which is therefore taken here and its row kept for the first Fetch.
  int Open() override {
    if (int rc = Start(); rc != kOk) return rc;
    pending_ = sqlite3_step(stmt_);
    if (pending_ != SQLITE_ROW && pending_ != SQLITE_DONE) {
      int status = Status(db_);
      sqlite3_reset(stmt_);
      open_ = false;
      return status;
    }
    open_ = true;
    return kOk;
  }

  int Fetch() override {
    ++counters_.fetches;
    if (prepareStatus_ != kOk) return prepareStatus_;
    if (!open_) return -1001;  // as Oracle's "invalid cursor"
    int rc = pending_;
    if (rc == 0) rc = sqlite3_step(stmt_);
    pending_ = 0;
    if (rc == SQLITE_ROW) {
      ReadRow();
      return kOk;
    }
    if (rc == SQLITE_DONE) {
      // A further step would run the query again; Oracle keeps answering "no row".
      pending_ = SQLITE_DONE;
      return kNoRow;
    }
    return Status(db_);
  }

  int Close() override {
    if (prepareStatus_ != kOk) return prepareStatus_;
    if (!open_) return -1001;
    open_ = false;
    pending_ = 0;
    sqlite3_reset(stmt_);
    return kOk;
  }

  std::string_view GetText(int column) const override { return texts_[column]; }
  std::int32_t GetInt(int column) const override { return ints_[column]; }
  bool IsNull(int column) const override { return nulls_[column]; }

 private:
  struct Bind {
    bool isInt = false;
    std::int32_t number = 0;
    std::string text;  // UTF-8 form of the bound Windows-1252 text
  };

  int Start() {
    ++counters_.executions;
    if (prepareStatus_ != kOk) return prepareStatus_;
    sqlite3_reset(stmt_);
    open_ = false;
    pending_ = 0;
    for (std::size_t i = 0; i < binds_.size(); ++i) {
      const Bind& b = binds_[i];
      int rc = b.isInt ? sqlite3_bind_int(stmt_, static_cast<int>(i) + 1, b.number)
                       : sqlite3_bind_text(stmt_, static_cast<int>(i) + 1, b.text.data(),
                                           static_cast<int>(b.text.size()), SQLITE_STATIC);
      if (rc != SQLITE_OK) return Status(db_);
    }
    return kOk;
  }

  void ReadRow() {
    for (std::size_t c = 0; c < outputs_.size(); ++c) {
      const int col = static_cast<int>(c);
      if (outputs_[c].kind == Column::kInt) {
        const bool null = sqlite3_column_type(stmt_, col) == SQLITE_NULL;
        nulls_[c] = null;
        sqlite3_int64 v = null ? 0 : sqlite3_column_int64(stmt_, col);
        ints_[c] = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : std::int32_t(v);
        continue;
      }
      std::string& text = texts_[c];
      text.clear();
      const auto* s = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
      nulls_[c] = s == nullptr;  // the text of a NULL is no pointer at all
      if (!s) continue;
      // A NUL inside a value is kept: cutting there could turn one badge number into another;
      // the generators leave such values out of the files.
      Utf8ToCp1252(std::string_view(s, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))),
                   text);
      // Oracle hands a column to a fixed buffer cut to its size less the terminator.
      const std::size_t limit = static_cast<std::size_t>(outputs_[c].capacity - 1);
      if (text.size() > limit) text.resize(limit);
    }
  }

  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  int prepareStatus_ = kOk;
  std::vector<Column> outputs_;
  std::vector<std::string> texts_;
  std::vector<std::int32_t> ints_;
  std::vector<bool> nulls_;
  std::vector<Bind> binds_;
  bool open_ = false;
  int pending_ = 0;  // result of the step taken at Open, not yet delivered
  Counters& counters_;
};

// The schema switch is answered here: the embedded file is the schema KORVADAT.
class SchemaSwitch final : public Statement {
 public:
  explicit SchemaSwitch(std::string_view schema) : schema_(schema) {}
  void BindText(int, std::string_view) override {}
  void BindInt(int, std::int32_t) override {}
  int Execute() override {
    std::string upper;
    for (char c : schema_)
      upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return upper == "KORVADAT" ? kOk : kUnknownSchema;
  }
  int SelectOne() override { return Execute(); }
  int Open() override { return Execute(); }
  int Fetch() override { return kNoRow; }
  int Close() override { return kOk; }
  std::string_view GetText(int) const override { return {}; }
  std::int32_t GetInt(int) const override { return 0; }
  bool IsNull(int) const override { return true; }

 private:
  std::string schema_;
};

class SqliteConnection final : public Connection {
 public:
  explicit SqliteConnection(sqlite3* db) : db_(db) {}
  ~SqliteConnection() override {
    ClearStatements();
    sqlite3_close(db_);
  }

 protected:
  std::unique_ptr<Statement> Prepare(const Query& query) override {
    if (std::unique_ptr<Statement> answer = AnswerSchemaSwitch(query.text)) return answer;
    return std::make_unique<SqliteStatement>(db_, query, counters_);
  }

 private:
  sqlite3* db_;
};

}  // namespace

std::unique_ptr<Statement> AnswerSchemaSwitch(std::string_view text) {
  constexpr std::string_view kSwitch = "ALTER SESSION SET CURRENT_SCHEMA=";
  if (text.substr(0, kSwitch.size()) != kSwitch) return nullptr;
  return std::make_unique<SchemaSwitch>(text.substr(kSwitch.size()));
}

int ConnectSqlite(std::string_view path, std::unique_ptr<Connection>& connection) {
  // SQLite's memory statistics take a process-wide lock on every allocation; nothing reads
  // them. This only takes effect before the library's first use, and is harmless after it.
  static const bool unused = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
  (void)unused;
  sqlite3* db = nullptr;
  std::string file(path);
  // One thread uses the connection, so SQLite need not lock it on every call.
  int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    int status = db ? Status(db) : -SQLITE_NOMEM;
    sqlite3_close(db);
    return status;
  }
  // A misspelt column in double quotes must be an error, not a string literal.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  if (RegisterOracleCompat(db) != SQLITE_OK ||
      sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
    int status = Status(db);
    sqlite3_close(db);
    return status;
  }
  // Reading the schema now turns a file that is no database into a failed connect.
  if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr) !=
      SQLITE_OK) {
    int status = Status(db);
    sqlite3_close(db);
    return status;
  }
  connection = std::make_unique<SqliteConnection>(db);
  return kOk;
}

}  // namespace zibrolt::sqlhlp
