// ODBC backend of the client layer. SQL_DBMS_NAME decides the dialect: Oracle runs the
// statement texts as written (without the into-list, placeholders made positional); an SQLite
// file behind the SQLite ODBC driver, the test set-up, gets the embedded backend's rewrites and
// its SQL functions from the compatibility extension the data source loads. Text travels as
// UTF-16 and is converted to Windows-1252 here, so the bytes written never depend on the
// client's language settings.
#include "frame/odbc_client.hpp"

#ifndef ZIBROLT_WITH_ODBC

// Built without an ODBC driver manager: every data source is unknown.
namespace zibrolt::sqlhlp {
int ConnectOdbc(std::string_view, std::string_view, std::string_view,
                std::unique_ptr<Connection>&) {
  return kNoDataSource;
}
std::optional<std::string> LastDriverError() { return std::nullopt; }
}  // namespace zibrolt::sqlhlp

#else

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frame/sql_dialect.hpp"
#include "frame/sqlite_client.hpp"
#include "frame/text_1252.hpp"

namespace zibrolt::sqlhlp {
namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16");
static_assert(sizeof(SQLINTEGER) == sizeof(std::int32_t));

// Rows a cursor receives per round trip to the server; a single-row query asks for two, which
// is enough to see that a second row exists.
constexpr SQLULEN kCursorRows = 64;
constexpr SQLULEN kSingleRowRows = 2;
// Characters of the program's text inputs (the terminal name and badge number buffers).
constexpr SQLULEN kInputChars = 256;

constexpr int kInvalidCursor = -1001;    // Oracle's answer to a fetch on a cursor not open
constexpr int kNotInSelectList = -1007;  // fewer columns selected than the program reads

enum class Dbms { kOracle, kSqlite, kOther };

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

// SQLSTATE of the last error that carried no native number after the connect; empty when the
// driver gave none. One run has one connection, so one is enough.
std::optional<std::string> lastDriverError;

// The status of a failed call: minus the native error number of its first error record
// (warnings such as a cut value are passed over). An error without a native number gets
// withoutNative: kNoDataSource while connecting, since the driver manager's own errors (an
// unknown data source among them) carry none; kDriverError afterwards, its SQLSTATE kept.
int DiagStatus(SQLSMALLINT type, SQLHANDLE handle, int withoutNative = kDriverError) {
  SQLCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  int status = withoutNative;
  std::string chosenState;
  for (SQLSMALLINT record = 1;; ++record) {
    native = 0;
    SQLRETURN rc = SQLGetDiagRec(type, handle, record, state, &native, nullptr, 0, &length);
    if (!SQL_SUCCEEDED(rc)) break;
    const int current = native > 0 ? -native : native < 0 ? native : withoutNative;
    const bool warning = state[0] == '0' && state[1] == '1';
    if (record == 1 || !warning) {
      status = current;
      chosenState.assign(reinterpret_cast<const char*>(state), 5);
    }
    if (!warning) break;
  }
  if (status == kDriverError) lastDriverError = chosenState;
  return status;
}

int DiagStatus(const Handle& handle, int withoutNative = kDriverError) {
  return DiagStatus(handle.type(), handle.get(), withoutNative);
}

std::u16string Wide(std::string_view cp1252) {
  std::u16string out;
  Cp1252ToUtf16(cp1252, out);
  return out;
}

SQLWCHAR* WideArg(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

// Where each column of a row array is received (column-wise binding: row r of a text column
// starts at r * width).
struct ColumnBuffer {
  SQLLEN width = 0;                 // UTF-16 units per row, terminator included; 0 for integers
  std::vector<char16_t> text;       // rows * width units
  std::vector<SQLINTEGER> numbers;  // one per row
  std::vector<SQLLEN> indicators;   // length in bytes or SQL_NULL_DATA, one per row
};

class OdbcStatement final : public Statement {
 public:
  OdbcStatement(SQLHDBC dbc, Dbms dbms, const Query& query, Counters& counters)
      : stmt_(SQL_HANDLE_STMT),
        outputs_(query.outputs.begin(), query.outputs.end()),
        counters_(counters) {
    columns_.resize(outputs_.size());
    texts_.resize(outputs_.size());
    ints_.resize(outputs_.size());
    nulls_.resize(outputs_.size());
    if (!SQL_SUCCEEDED(stmt_.Allocate(dbc))) {
      prepareStatus_ = DiagStatus(SQL_HANDLE_DBC, dbc);
      return;
    }
    std::u16string text = Wide(ToPositionalPlaceholders(
        dbms == Dbms::kSqlite ? ToSqliteDialect(query.text) : RemoveIntoList(query.text)));
    if (!SQL_SUCCEEDED(
            SQLPrepareW(stmt_.get(), WideArg(text), static_cast<SQLINTEGER>(text.size())))) {
      prepareStatus_ = DiagStatus(stmt_);
      return;
    }
    SQLSMALLINT columns = 0;
    if (!outputs_.empty() && SQL_SUCCEEDED(SQLNumResultCols(stmt_.get(), &columns)) &&
        columns < static_cast<SQLSMALLINT>(outputs_.size())) {
      prepareStatus_ = kNotInSelectList;
      return;
    }
    SQLSMALLINT params = 0;
    if (SQL_SUCCEEDED(SQLNumParams(stmt_.get(), &params))) binds_.resize(params);
    SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched_, 0);
  }
  ~OdbcStatement() override {
    if (stmt_.get() != SQL_NULL_HANDLE) SQLFreeStmt(stmt_.get(), SQL_CLOSE);
  }

  void BindText(int index, std::string_view value) override {
    if (index < 0 || index >= static_cast<int>(binds_.size())) return;
    Bind& b = binds_[index];
    b.isInt = false;
    b.text.clear();
    Cp1252ToUtf16(value, b.text);
  }
  void BindInt(int index, std::int32_t value) override {
    if (index < 0 || index >= static_cast<int>(binds_.size())) return;
    binds_[index].isInt = true;
    binds_[index].number = value;
  }

  int Execute() override {
    int status = Start(1);
    SQLFreeStmt(stmt_.get(), SQL_CLOSE);
    return status;
  }

  int SelectOne() override {
    if (int rc = Start(kSingleRowRows); rc != kOk) return rc;
    int status = NextRow(true);
    if (status == kOk) {
      // The second row is only looked for; the first one stays in the outputs.
      int second = NextRow(false);
      status = second == kOk ? kTooManyRows : second == kNoRow ? kOk : second;
    }
    SQLFreeStmt(stmt_.get(), SQL_CLOSE);
    return status;
  }

  int Open() override {
    int status = Start(kCursorRows);
    open_ = status == kOk;
    return status;
  }

  int Fetch() override {
    ++counters_.fetches;
    if (prepareStatus_ != kOk) return prepareStatus_;
    if (!open_) return kInvalidCursor;
    return NextRow(true);
  }

  int Close() override {
    if (prepareStatus_ != kOk) return prepareStatus_;
    if (!open_) return kInvalidCursor;
    open_ = false;
    SQLFreeStmt(stmt_.get(), SQL_CLOSE);
    return kOk;
  }

  std::string_view GetText(int column) const override { return texts_[column]; }
  std::int32_t GetInt(int column) const override { return ints_[column]; }
  bool IsNull(int column) const override { return nulls_[column]; }

 private:
  struct Bind {
    bool isInt = false;
    SQLINTEGER number = 0;
    std::u16string text;  // UTF-16 form of the bound Windows-1252 text
    SQLLEN length = 0;    // bytes of text, handed to the driver at execution
  };

  // Runs the statement with the current inputs, rows being received `rows` at a time.
  int Start(SQLULEN rows) {
    ++counters_.executions;
    if (prepareStatus_ != kOk) return prepareStatus_;
    SQLFreeStmt(stmt_.get(), SQL_CLOSE);
    open_ = false;
    rowsInSet_ = nextRow_ = 0;
    lastSet_ = false;
    setError_ = kOk;
    if (int rc = PrepareRowArray(rows); rc != kOk) return rc;
    for (std::size_t i = 0; i < binds_.size(); ++i) {
      Bind& b = binds_[i];
      const auto number = static_cast<SQLUSMALLINT>(i + 1);
      SQLRETURN rc;
      if (b.isInt) {
        b.length = 0;
        rc = SQLBindParameter(stmt_.get(), number, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                              &b.number, 0, nullptr);
      } else {
        // Sent as CHAR: Oracle compares blank-padded only when both sides are CHAR, so a
        // CHAR(n) key column equals the value only then, and a VARCHAR2 column compares as
        // with any text. Not NCHAR: Oracle would convert the column to the national character
        // set for the comparison and pass over its index. The declared size is that of the
        // program's input buffers whatever the value, so that every execution can share the
        // server's cursor.
        b.length = static_cast<SQLLEN>(b.text.size() * sizeof(char16_t));
        rc = SQLBindParameter(stmt_.get(), number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_CHAR,
                              std::max<SQLULEN>(b.text.size(), kInputChars), 0, b.text.data(),
                              b.length, &b.length);
      }
      if (!SQL_SUCCEEDED(rc)) return DiagStatus(stmt_);
    }
    SQLRETURN rc = SQLExecute(stmt_.get());
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return kOk;
    return DiagStatus(stmt_);
  }

  // Sizes and binds the receiving buffers for `rows` rows per fetch.
  int PrepareRowArray(SQLULEN rows) {
    if (rows == arraySize_) return kOk;
    if (rows > allocatedRows_) {
      for (std::size_t c = 0; c < outputs_.size(); ++c) {
        ColumnBuffer& col = columns_[c];
        const auto number = static_cast<SQLUSMALLINT>(c + 1);
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
          col.text.assign(rows * col.width, u'\0');
          rc = SQLBindCol(stmt_.get(), number, SQL_C_WCHAR, col.text.data(),
                          col.width * static_cast<SQLLEN>(sizeof(char16_t)), col.indicators.data());
        }
        if (!SQL_SUCCEEDED(rc)) return DiagStatus(stmt_);
      }
      rowStatus_.assign(rows, SQL_ROW_NOROW);
      allocatedRows_ = rows;
    }
    SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROW_STATUS_PTR, rowStatus_.data(), 0);
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROW_ARRAY_SIZE,
                                      reinterpret_cast<SQLPOINTER>(rows), 0))) {
      // A driver without row arrays is read a row at a time.
      if (rows == 1) return DiagStatus(stmt_);
      return PrepareRowArray(1);
    }
    arraySize_ = rows;
    return kOk;
  }

  // The next row of the result, taken from the row array; delivered into the outputs when
  // `deliver` is set. A row that failed inside a row array gives its error only when its turn
  // comes, so the rows before it arrive exactly as they would one at a time.
  int NextRow(bool deliver) {
    if (nextRow_ >= rowsInSet_) {
      if (lastSet_) return setError_ != kOk ? setError_ : kNoRow;
      std::fill(rowStatus_.begin(), rowStatus_.end(), SQL_ROW_NOROW);
      rowsFetched_ = 0;
      SQLRETURN rc = SQLFetch(stmt_.get());
      nextRow_ = rowsInSet_ = 0;
      // Older Oracle drivers answer SQL_NO_DATA for the rowset that holds the last rows; the
      // rows they placed in the array still belong to the result.
      const bool noData = rc == SQL_NO_DATA;
      if (!noData && !SQL_SUCCEEDED(rc)) {
        lastSet_ = true;
        setError_ = DiagStatus(stmt_);
        return setError_;
      }
      rowsInSet_ = std::min<SQLULEN>(rowsFetched_, arraySize_);
      if (rowsInSet_ == 0)  // a driver that does not report the count: the statuses tell
        while (rowsInSet_ < arraySize_ && rowStatus_[rowsInSet_] != SQL_ROW_NOROW) ++rowsInSet_;
      // Fewer rows than asked for: the result ends with this set.
      lastSet_ = noData || rowsInSet_ < arraySize_;
      for (SQLULEN r = 0; r < rowsInSet_; ++r) {
        if (rowStatus_[r] == SQL_ROW_ERROR) {
          rowsInSet_ = r;
          lastSet_ = true;
          setError_ = DiagStatus(stmt_);
          break;
        }
      }
      if (rowsInSet_ == 0) return lastSet_ && setError_ != kOk ? setError_ : kNoRow;
    }
    if (deliver) ReadRow(nextRow_);
    ++nextRow_;
    return kOk;
  }

  void ReadRow(SQLULEN row) {
    for (std::size_t c = 0; c < outputs_.size(); ++c) {
      const ColumnBuffer& col = columns_[c];
      const SQLLEN indicator = col.indicators[row];
      const bool null = indicator == SQL_NULL_DATA;
      nulls_[c] = null;
      if (outputs_[c].kind == Column::kInt) {
        ints_[c] = null ? 0 : col.numbers[row];
        continue;
      }
      std::string& text = texts_[c];
      text.clear();
      if (null) continue;
      const char16_t* start = col.text.data() + row * col.width;
      // The indicator gives the whole value's length; the buffer holds at most width - 1 units.
      SQLLEN units = indicator == SQL_NO_TOTAL ? col.width - 1
                                               : indicator / static_cast<SQLLEN>(sizeof(char16_t));
      units = std::clamp<SQLLEN>(units, 0, col.width - 1);
      Utf16ToCp1252(std::u16string_view(start, static_cast<std::size_t>(units)), text);
      // Oracle hands a column to a fixed buffer cut to its size less the terminator.
      const std::size_t limit = static_cast<std::size_t>(std::max(outputs_[c].capacity - 1, 0));
      if (text.size() > limit) text.resize(limit);
    }
  }

  Handle stmt_;
  int prepareStatus_ = kOk;
  std::vector<Column> outputs_;
  std::vector<ColumnBuffer> columns_;
  std::vector<SQLUSMALLINT> rowStatus_;  // per row of the array: SQL_ROW_SUCCESS, ..._ERROR
  SQLULEN rowsFetched_ = 0;              // rows the last fetch placed in the array
  SQLULEN arraySize_ = 0;                // rows asked for per fetch at present
  SQLULEN allocatedRows_ = 0;            // rows the buffers have room for
  SQLULEN rowsInSet_ = 0;                // rows of the array that may be delivered
  SQLULEN nextRow_ = 0;                  // next of them to deliver
  bool lastSet_ = false;                 // no fetch follows the current array
  int setError_ = kOk;                   // error given once the current array is used up
  std::vector<std::string> texts_;
  std::vector<std::int32_t> ints_;
  std::vector<bool> nulls_;
  std::vector<Bind> binds_;
  bool open_ = false;
  Counters& counters_;
};

class OdbcConnection final : public Connection {
 public:
  OdbcConnection() : env_(SQL_HANDLE_ENV), dbc_(SQL_HANDLE_DBC) {}
  ~OdbcConnection() override {
    ClearStatements();
    if (connected_) {
      // Nothing was changed; ending the transaction lets every driver disconnect cleanly.
      SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
      SQLDisconnect(dbc_.get());
    }
  }

  int Connect(std::string_view dataSource, std::string_view login, std::string_view password) {
    if (!SQL_SUCCEEDED(env_.Allocate(SQL_NULL_HANDLE))) return kNoDataSource;
    SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(dbc_.Allocate(env_.get()))) return DiagStatus(env_, kNoDataSource);
    std::u16string name = Wide(dataSource), user = Wide(login), secret = Wide(password);
    // Login and password go as values of their own: never a prompt, and "/" or "@" in them
    // are plain characters.
    SQLRETURN rc = SQLConnectW(dbc_.get(), WideArg(name), static_cast<SQLSMALLINT>(name.size()),
                               WideArg(user), static_cast<SQLSMALLINT>(user.size()),
                               WideArg(secret), static_cast<SQLSMALLINT>(secret.size()));
    if (!SQL_SUCCEEDED(rc)) return DiagStatus(dbc_, kNoDataSource);
    connected_ = true;

    char product[64] = {};
    SQLSMALLINT length = 0;
    SQLGetInfo(dbc_.get(), SQL_DBMS_NAME, product, sizeof product, &length);
    const std::string_view name8 = product;
    dbms_ = name8.starts_with("Oracle")   ? Dbms::kOracle
            : name8.starts_with("SQLite") ? Dbms::kSqlite
                                          : Dbms::kOther;

    // The whole run reads one consistent state of the database: one transaction, read only.
    // With autocommit left on, that transaction would end after the first statement.
    if (!SQL_SUCCEEDED(SQLSetConnectAttr(dbc_.get(), SQL_ATTR_AUTOCOMMIT,
                                         reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
      return DiagStatus(dbc_);
    if (dbms_ == Dbms::kOracle) return RunInternal("SET TRANSACTION READ ONLY");
    // Elsewhere only a hint that drivers may ignore; Oracle gets the statement above instead,
    // since a driver that started a read-only transaction of its own would make it fail.
    SQLSetConnectAttr(dbc_.get(), SQL_ATTR_ACCESS_MODE,
                      reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
    // The SQLite driver ignores a LoadExt it cannot load; without the functions every query
    // would fail later, so the connect fails now.
    if (dbms_ == Dbms::kSqlite) return RunInternal("SELECT nvl(1,2)");
    return kOk;
  }

  bool PrefersBatches() const override { return true; }

 protected:
  std::unique_ptr<Statement> Prepare(const Query& query) override {
    if (dbms_ == Dbms::kSqlite)
      if (std::unique_ptr<Statement> answer = AnswerSchemaSwitch(query.text)) return answer;
    return std::make_unique<OdbcStatement>(dbc_.get(), dbms_, query, counters_);
  }

 private:
  // A statement of the connect itself, kept out of the run's counters.
  int RunInternal(std::string_view text) {
    Handle stmt(SQL_HANDLE_STMT);
    if (!SQL_SUCCEEDED(stmt.Allocate(dbc_.get()))) return DiagStatus(dbc_);
    std::u16string wide = Wide(text);
    SQLRETURN rc = SQLExecDirectW(stmt.get(), WideArg(wide), static_cast<SQLINTEGER>(wide.size()));
    int status = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA ? kOk : DiagStatus(stmt);
    SQLFreeStmt(stmt.get(), SQL_CLOSE);
    return status;
  }

  Handle env_;  // declared first: freed after the connection handle
  Handle dbc_;
  bool connected_ = false;
  Dbms dbms_ = Dbms::kOther;
};

}  // namespace

std::optional<std::string> LastDriverError() { return lastDriverError; }

int ConnectOdbc(std::string_view dataSource, std::string_view login, std::string_view password,
                std::unique_ptr<Connection>& connection) {
  lastDriverError.reset();
  auto odbc = std::make_unique<OdbcConnection>();
  int status = odbc->Connect(dataSource, login, password);
  if (status == kOk) connection = std::move(odbc);
  return status;
}

}  // namespace zibrolt::sqlhlp

#endif  // ZIBROLT_WITH_ODBC
