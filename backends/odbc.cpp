// ODBC backend. SQL_DBMS_NAME decides the dialect (kDialects): Oracle runs the statement texts
// as written (without the into-list, placeholders made positional); an SQLite file behind the
// SQLite ODBC driver, the test set-up, gets the SQLite rewrites and its SQL functions from the
// compatibility extension the data source loads. Text travels as UTF-16 and is converted to
// Windows-1252 here, so the bytes written never depend on the client's language settings.
#include "backends/odbc.hpp"

#ifndef ZIBROLT_WITH_ODBC

// Built without an ODBC driver manager: every data source is unknown.
namespace zibrolt::backend {
int ConnectOdbc(std::string_view, std::string_view, std::string_view, std::unique_ptr<Connection>&,
                std::string&) {
  return kNoDataSource;
}
}  // namespace zibrolt::backend

#else

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "backends/join_proof.hpp"
#include "backends/sql_dialect.hpp"
#include "text/cp1252.hpp"

namespace zibrolt::backend {
namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16");
static_assert(sizeof(SQLINTEGER) == sizeof(std::int32_t));

// Rows a cursor receives per round trip to the server: as many as fit in 1 MiB of receiving
// buffers, at most 1,000 (a window of badges' rows in a few round trips at 0.3 ms each, with
// memory that does not grow with the badge list). A single-row query asks for two, which is
// enough to see that a second row exists.
constexpr SQLULEN kArrayBytes = 1 << 20;
constexpr SQLULEN kMaxCursorRows = 1000;
constexpr SQLULEN kSingleRowRows = 2;
// Characters of the program's text inputs (the terminal name and badge number buffers).
constexpr SQLULEN kInputChars = 256;

constexpr int kNotInSelectList = -1007;  // fewer columns selected than the program reads

// What differs between the databases an ODBC data source may be, decided once at the connect.
// Adding a database means adding one entry to kDialects.
struct Dialect {
  // SQL_DBMS_NAME begins with it; the last entry, empty, takes any other product.
  std::string_view productPrefix;
  // The statement texts are Oracle's; another database gets them rewritten into its own SQL.
  std::string (*statementText)(std::string_view text);
  // Oracle is read only by SET TRANSACTION READ ONLY, at the connect and again at each renewed
  // view, since a driver that started a read-only transaction of its own would make that
  // statement fail. Elsewhere the access mode attribute is only a hint that drivers may ignore.
  bool readOnlyByStatement;
  // Run once after the connect, empty for none: the SQLite driver ignores a LoadExt it cannot
  // load, and without the compatibility functions every query would fail later, so the
  // connect fails now.
  std::string_view connectCheck;
  // An SQLite file behind the driver is the schema KORVADAT, as on the embedded backend;
  // elsewhere the session's schema is switched with Oracle's statement.
  bool fileIsSchema;
  // Oracle's catalog views and functions answer (Connection::IsOracle).
  bool oracleCatalog;
  // Proves from the catalog that two key columns compare byte for byte; nullptr: never proven.
  JoinProof (*proveJoin)(Connection& db, const KeyColumn& a, const KeyColumn& b);
};

constexpr Dialect kDialects[] = {
    {.productPrefix = "Oracle",
     .statementText = RemoveIntoList,
     .readOnlyByStatement = true,
     .connectCheck = "",
     .fileIsSchema = false,
     .oracleCatalog = true,
     .proveJoin = ProveOracleJoin},
    // The test set-up: an SQLite file with the compatibility extension loaded.
    {.productPrefix = "SQLite",
     .statementText = ToSqliteDialect,
     .readOnlyByStatement = false,
     .connectCheck = "SELECT nvl(1,2)",
     .fileIsSchema = true,
     .oracleCatalog = false,
     .proveJoin = ProveSqliteJoin},
    {.productPrefix = "",
     .statementText = RemoveIntoList,
     .readOnlyByStatement = false,
     .connectCheck = "",
     .fileIsSchema = false,
     .oracleCatalog = false,
     .proveJoin = nullptr},
};
constexpr const Dialect& kOtherDialect = std::end(kDialects)[-1];
static_assert(kOtherDialect.productPrefix.empty(), "the last entry takes any other product");

const Dialect& DialectOf(std::string_view productName) {
  for (const Dialect& dialect : kDialects)
    if (productName.starts_with(dialect.productPrefix)) return dialect;
  return kOtherDialect;
}

// Owns one ODBC handle; freeing a connection handle requires it to be disconnected first.
class Handle {
 public:
  explicit Handle(SQLSMALLINT type) : type_(type) {}
  ~Handle() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  SQLRETURN Allocate(SQLHANDLE parent) { return SQLAllocHandle(type_, parent, &handle_); }
  SQLHANDLE get() const { return handle_; }
  SQLSMALLINT type() const { return type_; }

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// Where the statuses of failed calls come from, per connection.
struct Diagnostics {
  bool connected = false;  // a failure without a native number is the driver's, not the connect's
  // SQLSTATE of the failure last answered, when it had no native number: each failure replaces
  // it, so that a later failure is never shown with an earlier one's.
  std::string state;
  // Calls that reach the server (prepares, executes, row-array fetches) of the run's
  // statements, for the benchmark; the connect's own statements are not counted.
  std::uint64_t roundTrips = 0;
};

// The status of a failed call: minus the native error number of its first error record
// (warnings such as a cut value are passed over). A record without a native number is the
// driver's or the driver manager's own: before the connect that is an unknown data source or a
// driver that cannot be loaded (kNoDataSource); after it, kDriverError with its SQLSTATE kept
// until the next failure.
int DiagStatus(const Handle& handle, Diagnostics& diagnostics) {
  SQLCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  const int noNumber = diagnostics.connected ? kDriverError : kNoDataSource;
  int first = noNumber;
  std::string firstState;
  for (SQLSMALLINT record = 1;; ++record) {
    const SQLRETURN rc =
        SQLGetDiagRec(handle.type(), handle.get(), record, state, &native, nullptr, 0, &length);
    if (!SQL_SUCCEEDED(rc)) break;
    const int status = native > 0 ? -native : native < 0 ? native : noNumber;
    const bool warning = state[0] == '0' && state[1] == '1';
    if (record == 1 || !warning) {
      first = status;
      firstState.assign(reinterpret_cast<const char*>(state), 5);
    }
    if (!warning) break;
  }
  diagnostics.state = first == kDriverError ? firstState : std::string();
  return first;
}

std::u16string Wide(std::string_view cp1252) {
  std::u16string out;
  Cp1252ToUtf16(cp1252, out);
  return out;
}

SQLWCHAR* WideArg(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

// A row array of text: a thousand rows of a column's capacity, of which a short last rowset or a
// short value fills little. Taken zeroed from calloc, its pages are touched only where the
// driver writes; filled with zeros by the program, every page of every column was written on
// each run, and under AddressSanitizer mapped and unmapped besides.
class ZeroedUnits {
 public:
  void Allocate(std::size_t units) {
    units_.reset(static_cast<char16_t*>(std::calloc(units, sizeof(char16_t))));
    if (!units_) throw std::bad_alloc();
  }
  char16_t* data() const { return units_.get(); }

 private:
  struct Free {
    void operator()(char16_t* units) const { std::free(units); }
  };
  std::unique_ptr<char16_t, Free> units_;
};

// Where each column of a row array is received (column-wise binding: row r of a text column
// starts at r * width).
struct ColumnBuffer {
  SQLLEN width = 0;                 // UTF-16 units per row, terminator included; 0 for integers
  ZeroedUnits text;                 // rows * width units
  std::vector<SQLINTEGER> numbers;  // one per row
  std::vector<SQLLEN> indicators;   // length in bytes or SQL_NULL_DATA, one per row
};

// An input as the driver reads it at execution.
struct WideBind {
  bool isInt = false;
  SQLINTEGER number = 0;
  std::u16string text;  // UTF-16 form of the bound Windows-1252 text
  SQLLEN length = 0;    // bytes of text
};

class OdbcStatement final : public Statement {
 public:
  OdbcStatement(std::span<const Column> outputs, Diagnostics& diagnostics)
      : stmt_(SQL_HANDLE_STMT),
        outputs_(outputs.begin(), outputs.end()),
        columns_(outputs.size()),
        diagnostics_(diagnostics) {
    // Bytes per row: each column's buffer and indicator, and the row's status.
    SQLULEN rowBytes = sizeof(SQLUSMALLINT);
    for (const Column& c : outputs_)
      if (c.kind != Column::kUnread)
        rowBytes +=
            sizeof(SQLLEN) + (c.kind == Column::kInt
                                  ? sizeof(SQLINTEGER)
                                  : sizeof(char16_t) * (2 * std::max(c.capacity - 1, 0) + 1));
    cursorRows_ = std::clamp<SQLULEN>(kArrayBytes / rowBytes, 1, kMaxCursorRows);
  }
  ~OdbcStatement() override {
    if (stmt_.get() != SQL_NULL_HANDLE) SQLFreeStmt(stmt_.get(), SQL_CLOSE);
  }

  int Prepare(SQLHDBC dbc, const std::string& text) {
    if (!SQL_SUCCEEDED(stmt_.Allocate(dbc))) return Failed(kDriverError);
    std::u16string wide = Wide(text);
    ++diagnostics_.roundTrips;  // Oracle's driver describes the statement at the server
    if (!SQL_SUCCEEDED(
            SQLPrepareW(stmt_.get(), WideArg(wide), static_cast<SQLINTEGER>(wide.size()))))
      return DiagStatus(stmt_, diagnostics_);
    SQLSMALLINT columns = 0;
    if (!outputs_.empty() && SQL_SUCCEEDED(SQLNumResultCols(stmt_.get(), &columns)) &&
        columns < static_cast<SQLSMALLINT>(outputs_.size()))
      return Failed(kNotInSelectList);
    SQLSMALLINT params = 0;
    if (SQL_SUCCEEDED(SQLNumParams(stmt_.get(), &params))) binds_.resize(params);
    SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched_, 0);
    return kOk;
  }

  int Run(std::span<const Bind> binds, Reading reading) override {
    SQLFreeStmt(stmt_.get(), SQL_CLOSE);
    rowsInSet_ = nextRow_ = 0;
    lastSet_ = false;
    setError_ = kOk;
    setState_.clear();
    if (reading != Reading::kNone) {
      if (int rc = PrepareRowArray(reading == Reading::kSingleRow ? kSingleRowRows : cursorRows_);
          rc != kOk)
        return rc;
    }
    // Inputs beyond the statement's placeholders are not the statement's: they are passed over.
    for (std::size_t i = 0; i < binds_.size() && i < binds.size(); ++i) {
      WideBind& b = binds_[i];
      const auto number = static_cast<SQLUSMALLINT>(i + 1);
      SQLRETURN rc;
      b.isInt = binds[i].isInt;
      if (b.isInt) {
        b.number = binds[i].number;
        b.length = 0;
        rc = SQLBindParameter(stmt_.get(), number, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                              &b.number, 0, nullptr);
      } else {
        b.text.clear();
        // A value read from the database goes back as it came, not by its Windows-1252 bytes.
        if (const std::string& exact = binds[i].exact;
            !exact.empty() && exact.front() == kExactText) {
          b.text.resize((exact.size() - 1) / sizeof(char16_t));
          std::memcpy(b.text.data(), exact.data() + 1, b.text.size() * sizeof(char16_t));
        } else {
          Cp1252ToUtf16(binds[i].text, b.text);
        }
        // The program's text inputs are keys (terminal names, badge numbers) compared with key
        // columns. They are sent as CHAR, as the installation's embedded SQL always sent its
        // host variables: a CHAR(n) column then matches blank-padded, a VARCHAR2 column
        // exactly. Not NVARCHAR: Oracle would convert the column to the national character
        // set for the comparison and pass over its index. How the server actually received
        // them is asked once per connection (data/bind_probe). The declared size and the
        // buffer are those of the program's input buffers whatever the value, so that every
        // execution shares the server's cursor and the bound values of a window's keys list
        // are all of one type (Oracle makes a union of CHARs of different lengths VARCHAR2).
        const std::size_t units = b.text.size();
        b.length = static_cast<SQLLEN>(units * sizeof(char16_t));
        b.text.resize(std::max<std::size_t>(units, kInputChars), u'\0');
        rc = SQLBindParameter(stmt_.get(), number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_CHAR,
                              b.text.size(), 0, b.text.data(),
                              static_cast<SQLLEN>(b.text.size() * sizeof(char16_t)), &b.length);
      }
      if (!SQL_SUCCEEDED(rc)) return DiagStatus(stmt_, diagnostics_);
    }
    ++diagnostics_.roundTrips;
    const SQLRETURN rc = SQLExecute(stmt_.get());
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return kOk;
    return DiagStatus(stmt_, diagnostics_);
  }

  // The next row of the result, taken from the row array. A row that failed inside a row array
  // gives its error only when its turn comes, so the rows before it arrive exactly as they
  // would one at a time.
  int Next(Row* row) override {
    if (nextRow_ >= rowsInSet_) {
      if (lastSet_) return setError_ != kOk ? SetError() : kNoRow;
      if (int status = FetchSet(); status != kOk) return status;
    }
    if (row) ReadRow(nextRow_, *row);
    ++nextRow_;
    return kOk;
  }

  void Reset() override { SQLFreeStmt(stmt_.get(), SQL_CLOSE); }

 private:
  // Fetches the next row array: 0 when it holds a row to deliver.
  int FetchSet() {
    std::fill(rowStatus_.begin(), rowStatus_.end(), SQL_ROW_NOROW);
    rowsFetched_ = 0;
    ++diagnostics_.roundTrips;
    const SQLRETURN rc = SQLFetch(stmt_.get());
    nextRow_ = rowsInSet_ = 0;
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
      lastSet_ = true;
      setError_ = DiagStatus(stmt_, diagnostics_);
      setState_ = diagnostics_.state;
      return setError_;
    }
    // Older Oracle drivers answer the array that holds the last rows with SQL_NO_DATA, its rows
    // placed all the same: they count.
    rowsInSet_ = std::min<SQLULEN>(rowsFetched_, arraySize_);
    if (rowsInSet_ == 0 && rc != SQL_NO_DATA)  // a driver that does not report the count
      while (rowsInSet_ < arraySize_ && rowStatus_[rowsInSet_] != SQL_ROW_NOROW) ++rowsInSet_;
    // Fewer rows than asked for, or the driver said so: the result ends with this set.
    lastSet_ = rc == SQL_NO_DATA || rowsInSet_ < arraySize_;
    for (SQLULEN r = 0; r < rowsInSet_; ++r) {
      if (rowStatus_[r] == SQL_ROW_ERROR) {
        rowsInSet_ = r;
        lastSet_ = true;
        setError_ = DiagStatus(stmt_, diagnostics_);
        setState_ = diagnostics_.state;
        break;
      }
    }
    if (rowsInSet_ == 0) return setError_ != kOk ? SetError() : kNoRow;
    return kOk;
  }

  // A failure without a diagnostic record of its own: no SQLSTATE goes with it.
  int Failed(int status) {
    diagnostics_.state.clear();
    return status;
  }

  // The error of the row array, handed over when its turn comes: other statements may have run
  // and failed since it was fetched, so its SQLSTATE goes with it again.
  int SetError() {
    diagnostics_.state = setState_;
    return setError_;
  }

  // Sizes and binds the receiving buffers for `rows` rows per fetch.
  int PrepareRowArray(SQLULEN rows) {
    if (rows == arraySize_) return kOk;
    if (rows > allocatedRows_) {
      for (std::size_t c = 0; c < outputs_.size(); ++c) {
        ColumnBuffer& col = columns_[c];
        const auto number = static_cast<SQLUSMALLINT>(c + 1);
        if (outputs_[c].kind == Column::kUnread) continue;  // left unbound: never fetched
        col.indicators.assign(rows, 0);
        SQLRETURN rc;
        if (outputs_[c].kind == Column::kInt) {
          col.numbers.assign(rows, 0);
          rc = SQLBindCol(stmt_.get(), number, SQL_C_SLONG, col.numbers.data(), 0,
                          col.indicators.data());
        } else {
          // Room for capacity - 1 characters even if each were a surrogate pair; the cut to
          // the capacity is made after the conversion, in Windows-1252 characters.
          col.width = 2 * std::max(outputs_[c].capacity - 1, 0) + 1;
          col.text.Allocate(rows * static_cast<SQLULEN>(col.width));
          rc = SQLBindCol(stmt_.get(), number, SQL_C_WCHAR, col.text.data(),
                          col.width * static_cast<SQLLEN>(sizeof(char16_t)), col.indicators.data());
        }
        if (!SQL_SUCCEEDED(rc)) return DiagStatus(stmt_, diagnostics_);
      }
      rowStatus_.assign(rows, SQL_ROW_NOROW);
      allocatedRows_ = rows;
    }
    SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROW_STATUS_PTR, rowStatus_.data(), 0);
    const SQLRETURN set =
        SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0);
    if (!SQL_SUCCEEDED(set)) {
      // A driver without row arrays is read a row at a time.
      if (rows == 1) return DiagStatus(stmt_, diagnostics_);
      return PrepareRowArray(1);
    }
    // A driver may set a size of its own instead and only warn (SQLSTATE 01S02): taken for the
    // size asked for, its first short row array would end the result early.
    SQLULEN size = rows;
    if (set == SQL_SUCCESS_WITH_INFO &&
        !SQL_SUCCEEDED(SQLGetStmtAttr(stmt_.get(), SQL_ATTR_ROW_ARRAY_SIZE, &size, 0, nullptr)))
      return DiagStatus(stmt_, diagnostics_);
    // More rows than the buffers hold would be written past them.
    if (size == 0 || size > allocatedRows_) return Failed(kDriverError);
    arraySize_ = size;
    return kOk;
  }

  void ReadRow(SQLULEN index, Row& row) {
    for (std::size_t c = 0; c < outputs_.size(); ++c) {
      if (outputs_[c].kind == Column::kUnread) {
        row.nulls[c] = 1;
        continue;
      }
      const ColumnBuffer& col = columns_[c];
      const SQLLEN indicator = col.indicators[index];
      const bool null = indicator == SQL_NULL_DATA;
      row.nulls[c] = null;
      if (outputs_[c].kind == Column::kInt) {
        row.ints[c] = null ? 0 : col.numbers[index];
        continue;
      }
      std::string& text = row.texts[c];
      std::string& exact = row.exact[c];
      text.clear();
      exact.clear();
      if (null) continue;
      const char16_t* start = col.text.data() + index * static_cast<SQLULEN>(col.width);
      // The indicator gives the whole value's length; the buffer holds at most width - 1 units.
      SQLLEN units = indicator == SQL_NO_TOTAL ? col.width - 1
                                               : indicator / static_cast<SQLLEN>(sizeof(char16_t));
      units = std::clamp<SQLLEN>(units, 0, col.width - 1);
      const std::u16string_view value(start, static_cast<std::size_t>(units));
      if (!Utf16ToCp1252(value, text)) {
        exact.push_back(kExactText);
        exact.append(reinterpret_cast<const char*>(value.data()), value.size() * sizeof(char16_t));
      }
    }
  }

  Handle stmt_;
  std::vector<Column> outputs_;
  std::vector<ColumnBuffer> columns_;
  std::vector<WideBind> binds_;          // one per placeholder
  std::vector<SQLUSMALLINT> rowStatus_;  // per row of the array: SQL_ROW_SUCCESS, ..._ERROR
  SQLULEN rowsFetched_ = 0;              // rows the last fetch placed in the array
  SQLULEN cursorRows_ = 1;               // rows a cursor asks for per fetch
  SQLULEN arraySize_ = 0;                // rows asked for per fetch at present
  SQLULEN allocatedRows_ = 0;            // rows the buffers have room for
  SQLULEN rowsInSet_ = 0;                // rows of the array that may be delivered
  SQLULEN nextRow_ = 0;                  // next of them to deliver
  bool lastSet_ = false;                 // no fetch follows the current array
  int setError_ = kOk;                   // error given once the current array is used up
  std::string setState_;                 // its SQLSTATE, empty with a native number
  Diagnostics& diagnostics_;
};

class OdbcConnection final : public Connection {
 public:
  OdbcConnection() : env_(SQL_HANDLE_ENV), dbc_(SQL_HANDLE_DBC) {}
  ~OdbcConnection() override {
    if (!diagnostics_.connected) return;
    // Nothing was changed; ending the transaction lets every driver disconnect cleanly.
    SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
    SQLDisconnect(dbc_.get());
  }

  int Connect(std::string_view dataSource, std::string_view login, std::string_view password) {
    if (!SQL_SUCCEEDED(env_.Allocate(SQL_NULL_HANDLE))) return kNoDataSource;
    SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(dbc_.Allocate(env_.get()))) return DiagStatus(env_, diagnostics_);
    std::u16string name = Wide(dataSource), user = Wide(login), secret = Wide(password);
    // Login and password go as values of their own: never a prompt, and "/" or "@" in them
    // are plain characters.
    const SQLRETURN rc =
        SQLConnectW(dbc_.get(), WideArg(name), static_cast<SQLSMALLINT>(name.size()), WideArg(user),
                    static_cast<SQLSMALLINT>(user.size()), WideArg(secret),
                    static_cast<SQLSMALLINT>(secret.size()));
    if (!SQL_SUCCEEDED(rc)) return DiagStatus(dbc_, diagnostics_);
    diagnostics_.connected = true;

    char product[64] = {};
    SQLSMALLINT length = 0;
    SQLGetInfo(dbc_.get(), SQL_DBMS_NAME, product, sizeof product, &length);
    dialect_ = &DialectOf(product);

    // The whole run reads one consistent state of the database: one transaction, read only.
    // With autocommit left on, that transaction would end after the first statement.
    if (!SQL_SUCCEEDED(SQLSetConnectAttr(dbc_.get(), SQL_ATTR_AUTOCOMMIT,
                                         reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
      return DiagStatus(dbc_, diagnostics_);
    if (dialect_->readOnlyByStatement) return RunInternal(std::string(kOracleReadOnly));
    SQLSetConnectAttr(dbc_.get(), SQL_ATTR_ACCESS_MODE,
                      reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
    if (!dialect_->connectCheck.empty()) return RunInternal(std::string(dialect_->connectCheck));
    return kOk;
  }

  std::unique_ptr<Statement> Prepare(std::string_view text, std::span<const Column> outputs,
                                     int& status) override {
    auto statement = std::make_unique<OdbcStatement>(outputs, diagnostics_);
    status =
        statement->Prepare(dbc_.get(), ToPositionalPlaceholders(dialect_->statementText(text)));
    return statement;
  }

  int SwitchSchema(std::string_view schema) override {
    if (dialect_->fileIsSchema) return SqliteSchemaSwitch(schema);
    return RunInternal(std::string(kOracleSchemaSwitch) + std::string(schema));
  }

  bool PrefersBatches() const override { return true; }
  bool IsOracle() const override { return dialect_->oracleCatalog; }

  JoinProof ProveExactJoin(const KeyColumn& a, const KeyColumn& b) override {
    // The catalog's statements are the connection's own, not the run's.
    const std::uint64_t roundTrips = diagnostics_.roundTrips;
    const JoinProof proof =
        dialect_->proveJoin ? dialect_->proveJoin(*this, a, b) : Connection::ProveExactJoin(a, b);
    diagnostics_.roundTrips = roundTrips;
    return proof;
  }

  std::uint64_t RoundTrips() const override { return diagnostics_.roundTrips; }

  int RenewView() override {
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK)))
      return DiagStatus(dbc_, diagnostics_);
    // Elsewhere the next statement begins the next transaction, autocommit being off.
    return dialect_->readOnlyByStatement ? RunInternal(std::string(kOracleReadOnly)) : kOk;
  }

  std::string DriverState(int status) const override {
    return status == kDriverError ? diagnostics_.state : std::string();
  }

 private:
  // A statement of the connect itself, kept out of the run's counters.
  int RunInternal(const std::string& text) {
    Handle stmt(SQL_HANDLE_STMT);
    if (!SQL_SUCCEEDED(stmt.Allocate(dbc_.get()))) return DiagStatus(dbc_, diagnostics_);
    std::u16string wide = Wide(text);
    const SQLRETURN rc =
        SQLExecDirectW(stmt.get(), WideArg(wide), static_cast<SQLINTEGER>(wide.size()));
    const int status =
        SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA ? kOk : DiagStatus(stmt, diagnostics_);
    SQLFreeStmt(stmt.get(), SQL_CLOSE);
    return status;
  }

  Handle env_;  // declared first: freed after the connection handle
  Handle dbc_;
  Diagnostics diagnostics_;
  const Dialect* dialect_ = &kOtherDialect;
};

}  // namespace

int ConnectOdbc(std::string_view dataSource, std::string_view login, std::string_view password,
                std::unique_ptr<Connection>& connection, std::string& driverState) {
  auto odbc = std::make_unique<OdbcConnection>();
  const int status = odbc->Connect(dataSource, login, password);
  if (status == kOk)
    connection = std::move(odbc);
  else
    driverState = odbc->DriverState(status);
  return status;
}

}  // namespace zibrolt::backend

#endif  // ZIBROLT_WITH_ODBC
