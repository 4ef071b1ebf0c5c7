// SQLite backend. Errors are reported as minus SQLite's extended result code (a missing table
// is -1, a locked database -5, a damaged file -11).
#include "backends/sqlite.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "backends/join_proof.hpp"
#include "backends/sql_dialect.hpp"
#include "backends/sqlite_read_ahead.hpp"
#include "db/oracle_compat.hpp"
#include "platform/files.hpp"
#include "text/cp1252.hpp"

namespace zibrolt::backend {
namespace {

// A writer holding the file gets this long before the run gives up with a clear error.
constexpr int kBusyTimeoutMs = 3000;

// How much of the database file a connection reads through a memory map. A run reads its
// pages where its badges' rows lie, all over the file in an installation that grew over years;
// read() copies each page into SQLite's cache first, and the copying was most of such a run.
// Mapped, SQLite reads the pages where they are in the system's file cache. The run only reads,
// so a mapped page is never written through. Where a file cannot be mapped (or this much of it),
// SQLite reads the rest as before. The mapped pages count in the resident memory as file pages,
// shared with the system's cache; the run's own memory is what it was.
constexpr const char* kMapPragma = "PRAGMA mmap_size=1073741824";

int Status(sqlite3* db) { return -sqlite3_extended_errcode(db); }

// Opens file as every connection of a run has it: read-only, used by one thread at a time (so
// SQLite need not lock it on every call), its pages read through a memory map, with the Oracle
// functions, in a transaction whose read begins with the first statement. Returns the status;
// db is then open or null.
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
  // Only a hint: a library built without memory mapping ignores it, and reads as before.
  sqlite3_exec(db, kMapPragma, nullptr, nullptr, nullptr);
  if (RegisterOracleCompat(db) != SQLITE_OK ||
      sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
    const int status = Status(db);
    sqlite3_close(db);
    db = nullptr;
    return status;
  }
  return kOk;
}

// Closes a connection, or finalises a statement, when its owner ends.
struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStmt {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using DbHandle = std::unique_ptr<sqlite3, CloseDb>;
using StmtHandle = std::unique_ptr<sqlite3_stmt, FinalizeStmt>;

// The second connection of a run, on which long lists are read ahead (sqlite_read_ahead.hpp).
// It must see exactly what the run's connection sees. That one reads in a transaction begun at
// connect, so from then on no writer can commit: a commit waits until every reader has ended.
// Any connection made later to the same file therefore sees the same database. Not so in WAL
// mode, where writers commit beside readers: there no second connection is made and lists are
// read as they come. Nor where the path has come to name another file since the connect (a
// database copied into place meanwhile): the run reads on in the file it opened, which the
// second connection could not open any more.
//
// The reader owns its connection, the statements prepared on it and the thread reading one of
// them, declared in that order: however it ends (an exception unwinding included), the thread
// is stopped first, then the statements are finalised, then the connection is closed.
class ListReader {
 public:
  // file: the path the run's connection opened; identity: the file it opened (FileIdentity),
  // empty when that is not certain.
  ListReader(sqlite3* run, std::string file, std::string identity)
      : run_(run), file_(std::move(file)), identity_(std::move(identity)) {}
  ListReader(const ListReader&) = delete;
  ListReader& operator=(const ListReader&) = delete;

  enum class Started { kReading, kEmpty, kNot };
  // Runs the statement of text on this connection for owner, its inputs bound by bind, and
  // reads it ahead from its first row on: kReading, kEmpty for a list without rows, or kNot
  // where that cannot be done (no connection, another list is being read, a failure), and the
  // owner runs the statement on the run's own connection.
  template <typename Bind>
  Started Start(const void* owner, const char* text, std::span<const Column> outputs,
                const Bind& bind) {
    if (!tried_) {
      tried_ = true;
      db_.reset(Open());
    }
    if (!db_ || ahead_) return Started::kNot;
    StmtHandle& stmt = statements_[text];
    if (!stmt) {
      sqlite3_stmt* prepared = nullptr;
      if (sqlite3_prepare_v3(db_.get(), text, -1, SQLITE_PREPARE_PERSISTENT, &prepared, nullptr) !=
          SQLITE_OK) {
        sqlite3_finalize(prepared);
        statements_.erase(text);
        return Started::kNot;
      }
      stmt.reset(prepared);
    }
    int rc = bind(stmt.get()) ? sqlite3_step(stmt.get()) : SQLITE_ERROR;
    if (rc == SQLITE_ROW) {
      try {
        ahead_ = std::make_unique<ReadAhead>(db_.get(), stmt.get(), outputs);
        reading_ = stmt.get();
        owner_ = owner;
        return Started::kReading;
      } catch (const std::system_error&) {  // no thread to be had
        rc = SQLITE_ERROR;
      }
    }
    sqlite3_reset(stmt.get());
    return rc == SQLITE_DONE ? Started::kEmpty : Started::kNot;
  }

  // Whether owner's list is being read ahead.
  bool Reading(const void* owner) const { return ahead_ && owner_ == owner; }
  // The next row of the list being read, as Statement::Next.
  int Next(Row* row) { return ahead_->Next(row); }
  // Ends the reading of owner's list, if it is being read: the thread is stopped before the
  // statement is reset, and the connection serves the next list.
  void Stop(const void* owner) {
    if (!Reading(owner)) return;
    ahead_.reset();
    sqlite3_reset(reading_);
    reading_ = nullptr;
    owner_ = nullptr;
  }

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
  bool tried_ = false;
  DbHandle db_;                                             // closed last
  std::unordered_map<std::string, StmtHandle> statements_;  // by text, on db_
  sqlite3_stmt* reading_ = nullptr;                         // the one of them being read ahead
  const void* owner_ = nullptr;                             // the statement whose list that is
  std::unique_ptr<ReadAhead> ahead_;                        // stopped first
};

class SqliteStatement final : public Statement {
 public:
  // lists is shared: the statement may outlive its connection object and still stop its list.
  SqliteStatement(sqlite3* db, sqlite3_stmt* stmt, std::span<const Column> outputs,
                  std::shared_ptr<ListReader> lists)
      : db_(db), stmt_(stmt), outputs_(outputs.begin(), outputs.end()), lists_(std::move(lists)) {}
  ~SqliteStatement() override {
    lists_->Stop(this);
    sqlite3_finalize(stmt_);
  }

  // Oracle runs a query when it is executed or opened, so errors surface there; SQLite runs it
  // at the first step, which is therefore taken here and its row kept for the first Next.
  int Run(std::span<const Bind> binds, Reading reading) override {
    lists_->Stop(this);
    sqlite3_reset(stmt_);
    // Badge numbers and terminal names are ASCII, which is the same in both: copied whole.
    const std::size_t count =
        std::min(binds.size(), static_cast<std::size_t>(sqlite3_bind_parameter_count(stmt_)));
    utf8_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      const Bind& b = binds[i];
      if (b.isInt) continue;
      // A value read from the database goes back as it came, not by its Windows-1252 bytes.
      if (BindsExact(b)) {
        utf8_[i].assign(b.exact, 1);
      } else if (std::all_of(b.text.begin(), b.text.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        utf8_[i].assign(b.text);
      } else {
        utf8_[i].clear();
        Cp1252ToUtf8(b.text, utf8_[i]);
      }
    }
    if (reading == Reading::kList) {
      // Where the list cannot be read ahead, the statement runs on the run's own connection as
      // it always did, and answers from there.
      const ListReader::Started started =
          lists_->Start(this, sqlite3_sql(stmt_), outputs_,
                        [&](sqlite3_stmt* on) { return BindInputs(on, binds); });
      if (started == ListReader::Started::kReading) return kOk;
      if (started == ListReader::Started::kEmpty) {
        pending_ = SQLITE_DONE;
        return kOk;
      }
    }
    if (!BindInputs(stmt_, binds)) return Status(db_);
    pending_ = sqlite3_step(stmt_);
    if (pending_ == SQLITE_ROW || pending_ == SQLITE_DONE) return kOk;
    const int status = Status(db_);
    sqlite3_reset(stmt_);
    return status;
  }

  int Next(Row* row) override {
    if (lists_->Reading(this)) return lists_->Next(row);
    int rc = pending_;
    pending_ = 0;
    if (rc == 0) rc = sqlite3_step(stmt_);
    if (rc == SQLITE_DONE) return kNoRow;
    if (rc != SQLITE_ROW) return Status(db_);
    if (row) ReadSqliteRow(stmt_, outputs_, *row);
    return kOk;
  }

  void Reset() override {
    lists_->Stop(this);
    pending_ = 0;
    sqlite3_reset(stmt_);
  }

 private:
  // Whether the input goes back as the exact form it came with: a text or bytes (the form of a
  // cut text or a number is its text).
  static bool BindsExact(const Bind& b) {
    return !b.exact.empty() && (b.exact.front() == kExactText || b.exact.front() == kExactBlob);
  }

  // Binds the inputs (as converted into utf8_) to the placeholders of stmt. Inputs beyond the
  // statement's placeholders are not the statement's: they are passed over.
  bool BindInputs(sqlite3_stmt* stmt, std::span<const Bind> binds) const {
    for (std::size_t i = 0; i < utf8_.size(); ++i) {
      const int index = static_cast<int>(i) + 1;
      const std::string& value = utf8_[i];
      const auto size = static_cast<int>(value.size());
      int rc = SQLITE_OK;
      if (binds[i].isInt)
        rc = sqlite3_bind_int(stmt, index, binds[i].number);
      else if (BindsExact(binds[i]) && binds[i].exact.front() == kExactBlob)
        rc = sqlite3_bind_blob(stmt, index, value.data(), size, SQLITE_STATIC);
      else
        rc = sqlite3_bind_text(stmt, index, value.data(), size, SQLITE_STATIC);
      if (rc != SQLITE_OK) return false;
    }
    return true;
  }

  sqlite3* db_;
  sqlite3_stmt* stmt_;
  std::vector<Column> outputs_;
  std::shared_ptr<ListReader> lists_;
  std::vector<std::string> utf8_;  // the inputs as SQLite takes them, alive while it runs
  int pending_ = 0;                // result of the step taken at Run, not yet delivered
};

class SqliteConnection final : public Connection {
 public:
  SqliteConnection(sqlite3* db, std::string file, std::string identity)
      : db_(db), lists_(std::make_shared<ListReader>(db, std::move(file), std::move(identity))) {}
  // A statement that outlives this object keeps the connection open until it is finalised.
  ~SqliteConnection() override { sqlite3_close_v2(db_); }

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
  JoinProof ProveExactJoin(const KeyColumn& a, const KeyColumn& b) override {
    return ProveSqliteJoin(*this, a, b);
  }
  // The transaction begun at connect is open until SQLite rolls it back after an error.
  bool ViewKept() const override { return sqlite3_get_autocommit(db_) == 0; }

 private:
  sqlite3* db_;
  std::shared_ptr<ListReader> lists_;
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
