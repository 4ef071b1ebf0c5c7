// A test-only ODBC driver that sits between the driver manager and the SQLite ODBC driver and
// makes the data source misbehave the way Oracle's driver and server can, so that the tests
// reach the failure paths of the ODBC backend without an Oracle server. It hands every call on
// to the real driver (whose handles it passes through unchanged) except where a misbehaviour
// chosen by the environment of the process applies:
//
//   ZIBROLT_SHIM_DRIVER        the real driver library (default: the one found at build time)
//   ZIBROLT_SHIM_PARTIAL_LAST  "1": a fetch whose rowset holds the last rows, fewer than the
//                              array size, returns SQL_NO_DATA with the rows and the fetched
//                              count in place, as older Oracle drivers do
//   ZIBROLT_SHIM_FAULT         "CALL,N,ERROR[,WORD]": the N-th (from 1) CALL, "execute" or
//                              "fetch", of a statement whose text contains WORD (any letter
//                              case; every statement without WORD) fails with ERROR: 942,
//                              1555 or 3113 (Oracle's native number, SQLSTATE and message
//                              text), or a five-character SQLSTATE with native number 0;
//                              several such faults separated by ";" count their calls apart.
//                              CALL "row": the N-th row fetched is flagged SQL_ROW_ERROR
//                              inside its rowset, the fetch succeeding with ERROR as its
//                              diagnostic and the rows after it in place
//   ZIBROLT_SHIM_ROW_ARRAYS    a driver without row arrays: "refuse" fails a row array size
//                              above 1 (SQLSTATE HYC00); "one" sets 1 instead and says so
//                              (SQLSTATE 01S02, SQL_SUCCESS_WITH_INFO)
//   ZIBROLT_SHIM_FAIL_AUTOCOMMIT  "1": switching autocommit fails (SQLSTATE HYC00, native 0)
//   ZIBROLT_SHIM_BIND_LOG      file to which every SQLBindParameter is appended as one line:
//                              "PARAM CTYPE SQLTYPE COLUMNSIZE BUFFERLENGTH<TAB>STATEMENT"
//   ZIBROLT_SHIM_ANSWERS       file of lines "WORD=>TEXT": a statement whose text contains
//                              WORD (any letter case) is prepared as TEXT instead, so that it
//                              answers as Oracle would (a DUMP of a bound value, a catalog row)
//
// Counts are per process. An injected error is returned as the call's one diagnostic record,
// through SQLGetDiagRec, SQLGetDiagField and SQLError alike.
#include <dlfcn.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// An injected diagnostic record.
struct Diag {
  std::string state;
  SQLINTEGER native = 0;
  std::string message;
};

struct Fault {
  std::string call;  // "execute" or "fetch"; empty: none armed
  unsigned long n = 0;
  std::string error;
  std::string word;  // upper case
  unsigned long seen = 0;
};

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool EnvFlag(const char* name) {
  const char* value = std::getenv(name);
  return value && std::string_view(value) == "1";
}

class Shim {
 public:
  Shim() {
    const char* path = std::getenv("ZIBROLT_SHIM_DRIVER");
    real_ = dlopen(path && *path ? path : ZIBROLT_SHIM_REAL_DRIVER, RTLD_NOW | RTLD_LOCAL);
    partialLast_ = EnvFlag("ZIBROLT_SHIM_PARTIAL_LAST");
    failAutocommit_ = EnvFlag("ZIBROLT_SHIM_FAIL_AUTOCOMMIT");
    if (const char* log = std::getenv("ZIBROLT_SHIM_BIND_LOG")) bindLog_ = log;
    if (const char* arrays = std::getenv("ZIBROLT_SHIM_ROW_ARRAYS")) rowArrays_ = arrays;
    if (const char* fault = std::getenv("ZIBROLT_SHIM_FAULT")) ParseFaults(fault);
    if (const char* answers = std::getenv("ZIBROLT_SHIM_ANSWERS")) ReadAnswers(answers);
  }

  // The text a statement is prepared as: its own, or the answer of the first rule it matches.
  const std::string* Answer(std::string_view text) const {
    const std::string upper = Upper(text);
    for (const auto& [word, answer] : answers_)
      if (upper.find(word) != std::string::npos) return &answer;
    return nullptr;
  }

  void* Resolve(const char* name) const { return real_ ? dlsym(real_, name) : nullptr; }
  bool partialLast() const { return partialLast_; }
  bool failAutocommit() const { return failAutocommit_; }
  const std::string& rowArrays() const { return rowArrays_; }

  void Remember(SQLHSTMT stmt, std::string_view text) {
    std::lock_guard lock(mutex_);
    texts_[stmt] = Upper(text);
  }
  void Forget(SQLHANDLE handle) {
    std::lock_guard lock(mutex_);
    texts_.erase(handle);
    diags_.erase(handle);
  }

  // Whether this call of the statement is the one that must fail; sets its diagnostic then.
  bool Hit(const char* call, SQLHSTMT stmt) {
    std::lock_guard lock(mutex_);
    diags_.erase(stmt);
    for (Fault& fault : faults_) {
      if (fault.call != call) continue;
      if (!fault.word.empty() && texts_[stmt].find(fault.word) == std::string::npos) continue;
      if (++fault.seen != fault.n) continue;
      diags_[stmt] = MakeDiag(fault.error);
      return true;
    }
    return false;
  }

  // The index, within the rows just fetched into a statement's rowset, of the row a "row"
  // fault flags, or -1; sets its diagnostic then.
  long RowHit(SQLHSTMT stmt, SQLULEN rows) {
    std::lock_guard lock(mutex_);
    for (Fault& fault : faults_) {
      if (fault.call != "row") continue;
      if (!fault.word.empty() && texts_[stmt].find(fault.word) == std::string::npos) continue;
      const unsigned long before = fault.seen;
      fault.seen += rows;
      if (fault.n <= before || fault.n > fault.seen) continue;
      diags_[stmt] = MakeDiag(fault.error);
      return static_cast<long>(fault.n - before - 1);
    }
    return -1;
  }

  void Inject(SQLHANDLE handle, Diag diag) {
    std::lock_guard lock(mutex_);
    diags_[handle] = std::move(diag);
  }
  void Clear(SQLHANDLE handle) {
    std::lock_guard lock(mutex_);
    diags_.erase(handle);
  }
  bool Injected(SQLHANDLE handle, Diag& diag) {
    std::lock_guard lock(mutex_);
    auto it = diags_.find(handle);
    if (it == diags_.end()) return false;
    diag = it->second;
    return true;
  }

  void LogBind(SQLHSTMT stmt, SQLUSMALLINT param, SQLSMALLINT cType, SQLSMALLINT sqlType,
               SQLULEN columnSize, SQLLEN bufferLength) {
    if (bindLog_.empty()) return;
    std::lock_guard lock(mutex_);
    if (std::FILE* log = std::fopen(bindLog_.c_str(), "a")) {
      std::fprintf(log, "%u %d %d %lu %ld\t%s\n", param, cType, sqlType,
                   static_cast<unsigned long>(columnSize), static_cast<long>(bufferLength),
                   texts_[stmt].c_str());
      std::fclose(log);
    }
  }

  static Diag MakeDiag(const std::string& error) {
    if (error == "942")
      return {"42S02", 942, "[Oracle][ODBC][Ora]ORA-00942: table or view does not exist"};
    if (error == "1555")
      return {"HY000", 1555,
              "[Oracle][ODBC][Ora]ORA-01555: snapshot too old: rollback segment number 7 with "
              "name \"_SYSSMU7_1234$\" too small"};
    if (error == "3113")
      return {"08S01", 3113, "[Oracle][ODBC][Ora]ORA-03113: end-of-file on communication channel"};
    if (error == "HYT00") return {"HYT00", 0, "[Oracle][ODBC]Timeout expired."};
    if (error == "22003") return {"22003", 0, "[Oracle][ODBC]Numeric value out of range."};
    return {error.substr(0, 5), 0, "[Oracle][ODBC]Driver error."};
  }

 private:
  void ParseFaults(std::string_view faults) {
    for (std::size_t start = 0; start <= faults.size();) {
      const std::size_t end = std::min(faults.find(';', start), faults.size());
      ParseFault(faults.substr(start, end - start));
      start = end + 1;
    }
  }

  void ReadAnswers(const char* path) {
    std::string rules;
    if (std::FILE* file = std::fopen(path, "rb")) {
      char buffer[4096];
      for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        rules.append(buffer, n);
      std::fclose(file);
    }
    ParseAnswers(rules);
  }

  void ParseAnswers(std::string_view rules) {
    for (std::size_t start = 0; start < rules.size();) {
      const std::size_t end = std::min(rules.find('\n', start), rules.size());
      const std::string_view rule = rules.substr(start, end - start);
      if (const std::size_t arrow = rule.find("=>"); arrow != std::string_view::npos)
        answers_.emplace_back(Upper(rule.substr(0, arrow)), std::string(rule.substr(arrow + 2)));
      start = end + 1;
    }
  }

  void ParseFault(std::string_view fault) {
    std::string parts[4];
    int count = 0;
    for (std::size_t start = 0; count < 4; ++count) {
      std::size_t comma = fault.find(',', start);
      parts[count] = fault.substr(start, comma - start);
      if (comma == std::string_view::npos) {
        ++count;
        break;
      }
      start = comma + 1;
    }
    if (count < 3) return;
    Fault& added = faults_.emplace_back();
    added.call = parts[0];
    added.n = std::strtoul(parts[1].c_str(), nullptr, 10);
    added.error = parts[2];
    added.word = Upper(parts[3]);
  }

  void* real_ = nullptr;
  bool partialLast_ = false;
  bool failAutocommit_ = false;
  std::string bindLog_;
  std::string rowArrays_;  // ZIBROLT_SHIM_ROW_ARRAYS
  std::vector<Fault> faults_;
  std::vector<std::pair<std::string, std::string>> answers_;  // word (upper case), text
  std::mutex mutex_;
  std::map<SQLHANDLE, std::string> texts_;  // statement texts, upper case
  std::map<SQLHANDLE, Diag> diags_;         // injected records, until the handle's next call
};

Shim& shim() {
  static Shim instance;
  return instance;
}

// The real driver's entry point of the same name and type as the shim's own.
template <typename F>
F Real(const char* name) {
  return reinterpret_cast<F>(shim().Resolve(name));
}

// Hands the call to the real driver; a diagnostic injected into the handle before is gone,
// as every ODBC call clears the diagnostics of its handle.
#define FORWARD(name, handle, ...)                                       \
  do {                                                                   \
    static const auto real = Real<decltype(&::name)>(#name);             \
    shim().Clear(handle);                                                \
    return real ? real(__VA_ARGS__) : static_cast<SQLRETURN>(SQL_ERROR); \
  } while (0)

SQLRETURN CopyText(const std::string& text, SQLCHAR* out, SQLSMALLINT size, SQLSMALLINT* length) {
  if (length) *length = static_cast<SQLSMALLINT>(text.size());
  if (out && size > 0) {
    const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
  }
  return text.size() < static_cast<std::size_t>(size) ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
}

SQLRETURN ReturnDiag(const Diag& diag, SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                     SQLSMALLINT size, SQLSMALLINT* length) {
  if (state) {
    std::memcpy(state, diag.state.c_str(), 5);
    state[5] = '\0';
  }
  if (native) *native = diag.native;
  return CopyText(diag.message, message, size, length);
}

// Applies the partial-last-rowset behaviour to a fetch that succeeded.
SQLRETURN AfterFetch(SQLHSTMT stmt, SQLRETURN rc) {
  if (!shim().partialLast() || !SQL_SUCCEEDED(rc)) return rc;
  static const auto getAttr = Real<decltype(&::SQLGetStmtAttr)>("SQLGetStmtAttr");
  SQLULEN* fetched = nullptr;
  SQLULEN size = 0;
  if (!getAttr || !SQL_SUCCEEDED(getAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0, nullptr)) ||
      !SQL_SUCCEEDED(getAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, &size, 0, nullptr)) || !fetched)
    return rc;
  return *fetched > 0 && *fetched < size ? SQL_NO_DATA : rc;
}

// Flags the row a "row" fault names inside the rowset just fetched, as a driver reports an
// error that concerns one row: the other rows stay, the fetch succeeds with information.
SQLRETURN FlagRowError(SQLHSTMT stmt, SQLRETURN rc) {
  if (!SQL_SUCCEEDED(rc)) return rc;
  static const auto getAttr = Real<decltype(&::SQLGetStmtAttr)>("SQLGetStmtAttr");
  SQLULEN* fetched = nullptr;
  SQLUSMALLINT* status = nullptr;
  if (!getAttr || !SQL_SUCCEEDED(getAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0, nullptr)) ||
      !SQL_SUCCEEDED(getAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, &status, 0, nullptr)) || !fetched ||
      !status)
    return rc;
  const long index = shim().RowHit(stmt, *fetched);
  if (index < 0) return rc;
  status[index] = SQL_ROW_ERROR;
  return SQL_SUCCESS_WITH_INFO;
}

// A row array size above 1 on a driver that has no row arrays.
SQLRETURN SetRowArraySize(SQLHSTMT stmt, SQLINTEGER length) {
  static const auto real = Real<decltype(&::SQLSetStmtAttr)>("SQLSetStmtAttr");
  if (shim().rowArrays() == "refuse") {
    shim().Inject(stmt, {"HYC00", 0, "[Oracle][ODBC]Optional feature not implemented."});
    return SQL_ERROR;
  }
  shim().Clear(stmt);
  const SQLRETURN rc =
      real ? real(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), length)
           : static_cast<SQLRETURN>(SQL_ERROR);
  if (!SQL_SUCCEEDED(rc)) return rc;
  shim().Inject(stmt, {"01S02", 0, "[Oracle][ODBC]Option value changed."});
  return SQL_SUCCESS_WITH_INFO;
}

}  // namespace

extern "C" {

// Entry points with misbehaviour -------------------------------------------------------------

SQLRETURN SQL_API SQLPrepare(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) {
  if (text) {
    const std::string_view given =
        length == SQL_NTS
            ? std::string_view(reinterpret_cast<char*>(text))
            : std::string_view(reinterpret_cast<char*>(text), static_cast<std::size_t>(length));
    shim().Remember(stmt, given);
    if (const std::string* answer = shim().Answer(given)) {
      auto* replaced = reinterpret_cast<SQLCHAR*>(const_cast<char*>(answer->c_str()));
      FORWARD(SQLPrepare, stmt, stmt, replaced, SQL_NTS);
    }
  }
  FORWARD(SQLPrepare, stmt, stmt, text, length);
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT stmt) {
  if (shim().Hit("execute", stmt)) return SQL_ERROR;
  FORWARD(SQLExecute, stmt, stmt);
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT stmt) {
  if (shim().Hit("fetch", stmt)) return SQL_ERROR;
  static const auto real = Real<decltype(&::SQLFetch)>("SQLFetch");
  return real ? AfterFetch(stmt, FlagRowError(stmt, real(stmt))) : SQL_ERROR;
}

SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT stmt, SQLSMALLINT orientation, SQLLEN offset) {
  if (shim().Hit("fetch", stmt)) return SQL_ERROR;
  static const auto real = Real<decltype(&::SQLFetchScroll)>("SQLFetchScroll");
  return real ? AfterFetch(stmt, FlagRowError(stmt, real(stmt, orientation, offset))) : SQL_ERROR;
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT stmt, SQLUSMALLINT param, SQLSMALLINT ioType,
                                   SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN columnSize,
                                   SQLSMALLINT digits, SQLPOINTER value, SQLLEN bufferLength,
                                   SQLLEN* indicator) {
  shim().LogBind(stmt, param, cType, sqlType, columnSize, bufferLength);
  FORWARD(SQLBindParameter, stmt, stmt, param, ioType, cType, sqlType, columnSize, digits, value,
          bufferLength, indicator);
}

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value,
                                    SQLINTEGER length) {
  if (attribute == SQL_ATTR_AUTOCOMMIT && shim().failAutocommit()) {
    shim().Inject(dbc, {"HYC00", 0, "[Oracle][ODBC]Optional feature not implemented."});
    return SQL_ERROR;
  }
  FORWARD(SQLSetConnectAttr, dbc, dbc, attribute, value, length);
}

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                                SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                SQLSMALLINT size, SQLSMALLINT* length) {
  if (Diag diag; shim().Injected(handle, diag))
    return record == 1 ? ReturnDiag(diag, state, native, message, size, length) : SQL_NO_DATA;
  static const auto real = Real<decltype(&::SQLGetDiagRec)>("SQLGetDiagRec");
  return real ? real(type, handle, record, state, native, message, size, length) : SQL_ERROR;
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                                  SQLSMALLINT field, SQLPOINTER info, SQLSMALLINT size,
                                  SQLSMALLINT* length) {
  if (Diag diag; shim().Injected(handle, diag)) {
    if (record == 0) {
      if (field == SQL_DIAG_NUMBER && info) *static_cast<SQLINTEGER*>(info) = 1;
      if (field == SQL_DIAG_RETURNCODE && info) *static_cast<SQLRETURN*>(info) = SQL_ERROR;
      if (field == SQL_DIAG_ROW_COUNT && info) *static_cast<SQLLEN*>(info) = 0;
      return SQL_SUCCESS;
    }
    if (record != 1) return SQL_NO_DATA;
    auto* text = static_cast<SQLCHAR*>(info);
    switch (field) {
      case SQL_DIAG_SQLSTATE:
        return CopyText(diag.state, text, size, length);
      case SQL_DIAG_NATIVE:
        if (info) *static_cast<SQLINTEGER*>(info) = diag.native;
        return SQL_SUCCESS;
      case SQL_DIAG_MESSAGE_TEXT:
        return CopyText(diag.message, text, size, length);
      case SQL_DIAG_CLASS_ORIGIN:
      case SQL_DIAG_SUBCLASS_ORIGIN:
        return CopyText(diag.state.starts_with("IM") ? "ODBC 3.0" : "ISO 9075", text, size, length);
      case SQL_DIAG_CONNECTION_NAME:
      case SQL_DIAG_SERVER_NAME:
        return CopyText("", text, size, length);
      case SQL_DIAG_ROW_NUMBER:
        if (info) *static_cast<SQLLEN*>(info) = SQL_NO_ROW_NUMBER;
        return SQL_SUCCESS;
      case SQL_DIAG_COLUMN_NUMBER:
        if (info) *static_cast<SQLINTEGER*>(info) = SQL_NO_COLUMN_NUMBER;
        return SQL_SUCCESS;
      default:
        return SQL_ERROR;
    }
  }
  static const auto real = Real<decltype(&::SQLGetDiagField)>("SQLGetDiagField");
  return real ? real(type, handle, record, field, info, size, length) : SQL_ERROR;
}

SQLRETURN SQL_API SQLError(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt, SQLCHAR* state,
                           SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT size,
                           SQLSMALLINT* length) {
  // SQLError reads each record once; the injected one is then gone.
  for (SQLHANDLE handle : {stmt, dbc, env}) {
    if (Diag diag; handle && shim().Injected(handle, diag)) {
      shim().Clear(handle);
      return ReturnDiag(diag, state, native, message, size, length);
    }
    if (handle) break;
  }
  static const auto real = Real<decltype(&::SQLError)>("SQLError");
  return real ? real(env, dbc, stmt, state, native, message, size, length) : SQL_ERROR;
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  shim().Forget(handle);
  static const auto real = Real<decltype(&::SQLFreeHandle)>("SQLFreeHandle");
  return real ? real(type, handle) : SQL_ERROR;
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT stmt, SQLUSMALLINT option) {
  if (option == SQL_DROP) shim().Forget(stmt);
  FORWARD(SQLFreeStmt, stmt, stmt, option);
}

// Entry points handed on unchanged -----------------------------------------------------------

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE parent, SQLHANDLE* handle) {
  FORWARD(SQLAllocHandle, parent, type, parent, handle);
}
SQLRETURN SQL_API SQLAllocEnv(SQLHENV* env) { FORWARD(SQLAllocEnv, nullptr, env); }
SQLRETURN SQL_API SQLAllocConnect(SQLHENV env, SQLHDBC* dbc) {
  FORWARD(SQLAllocConnect, env, env, dbc);
}
SQLRETURN SQL_API SQLAllocStmt(SQLHDBC dbc, SQLHSTMT* stmt) {
  FORWARD(SQLAllocStmt, dbc, dbc, stmt);
}
SQLRETURN SQL_API SQLFreeEnv(SQLHENV env) {
  shim().Forget(env);
  FORWARD(SQLFreeEnv, env, env);
}
SQLRETURN SQL_API SQLFreeConnect(SQLHDBC dbc) {
  shim().Forget(dbc);
  FORWARD(SQLFreeConnect, dbc, dbc);
}
SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value,
                                SQLINTEGER length) {
  FORWARD(SQLSetEnvAttr, env, env, attribute, value, length);
}
SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value,
                                SQLINTEGER size, SQLINTEGER* length) {
  FORWARD(SQLGetEnvAttr, env, env, attribute, value, size, length);
}
SQLRETURN SQL_API SQLConnect(SQLHDBC dbc, SQLCHAR* dsn, SQLSMALLINT dsnLength, SQLCHAR* user,
                             SQLSMALLINT userLength, SQLCHAR* password,
                             SQLSMALLINT passwordLength) {
  FORWARD(SQLConnect, dbc, dbc, dsn, dsnLength, user, userLength, password, passwordLength);
}
SQLRETURN SQL_API SQLDriverConnect(SQLHDBC dbc, SQLHWND window, SQLCHAR* in, SQLSMALLINT inLength,
                                   SQLCHAR* out, SQLSMALLINT outSize, SQLSMALLINT* outLength,
                                   SQLUSMALLINT completion) {
  FORWARD(SQLDriverConnect, dbc, dbc, window, in, inLength, out, outSize, outLength, completion);
}
SQLRETURN SQL_API SQLDisconnect(SQLHDBC dbc) { FORWARD(SQLDisconnect, dbc, dbc); }
SQLRETURN SQL_API SQLGetInfo(SQLHDBC dbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT size,
                             SQLSMALLINT* length) {
  FORWARD(SQLGetInfo, dbc, dbc, type, value, size, length);
}
SQLRETURN SQL_API SQLGetFunctions(SQLHDBC dbc, SQLUSMALLINT function, SQLUSMALLINT* supported) {
  FORWARD(SQLGetFunctions, dbc, dbc, function, supported);
}
SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value,
                                    SQLINTEGER size, SQLINTEGER* length) {
  FORWARD(SQLGetConnectAttr, dbc, dbc, attribute, value, size, length);
}
SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value,
                                 SQLINTEGER length) {
  if (attribute == SQL_ATTR_ROW_ARRAY_SIZE && reinterpret_cast<SQLULEN>(value) > 1 &&
      !shim().rowArrays().empty())
    return SetRowArraySize(stmt, length);
  FORWARD(SQLSetStmtAttr, stmt, stmt, attribute, value, length);
}
SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value,
                                 SQLINTEGER size, SQLINTEGER* length) {
  FORWARD(SQLGetStmtAttr, stmt, stmt, attribute, value, size, length);
}
SQLRETURN SQL_API SQLExecDirect(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) {
  FORWARD(SQLExecDirect, stmt, stmt, text, length);
}
SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT stmt, SQLSMALLINT* count) {
  FORWARD(SQLNumResultCols, stmt, stmt, count);
}
SQLRETURN SQL_API SQLNumParams(SQLHSTMT stmt, SQLSMALLINT* count) {
  FORWARD(SQLNumParams, stmt, stmt, count);
}
SQLRETURN SQL_API SQLDescribeParam(SQLHSTMT stmt, SQLUSMALLINT param, SQLSMALLINT* type,
                                   SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  FORWARD(SQLDescribeParam, stmt, stmt, param, type, size, digits, nullable);
}
SQLRETURN SQL_API SQLBindCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT type, SQLPOINTER value,
                             SQLLEN size, SQLLEN* indicator) {
  FORWARD(SQLBindCol, stmt, stmt, column, type, value, size, indicator);
}
SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT stmt) { FORWARD(SQLCloseCursor, stmt, stmt); }
SQLRETURN SQL_API SQLCancel(SQLHSTMT stmt) { FORWARD(SQLCancel, stmt, stmt); }
SQLRETURN SQL_API SQLRowCount(SQLHSTMT stmt, SQLLEN* count) {
  FORWARD(SQLRowCount, stmt, stmt, count);
}
SQLRETURN SQL_API SQLMoreResults(SQLHSTMT stmt) { FORWARD(SQLMoreResults, stmt, stmt); }
SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLCHAR* name,
                                 SQLSMALLINT size, SQLSMALLINT* length, SQLSMALLINT* type,
                                 SQLULEN* columnSize, SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  FORWARD(SQLDescribeCol, stmt, stmt, column, name, size, length, type, columnSize, digits,
          nullable);
}
SQLRETURN SQL_API SQLColAttribute(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field,
                                  SQLPOINTER text, SQLSMALLINT size, SQLSMALLINT* length,
                                  SQLLEN* number) {
  FORWARD(SQLColAttribute, stmt, stmt, column, field, text, size, length, number);
}
SQLRETURN SQL_API SQLGetData(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT type, SQLPOINTER value,
                             SQLLEN size, SQLLEN* indicator) {
  FORWARD(SQLGetData, stmt, stmt, column, type, value, size, indicator);
}
SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
  FORWARD(SQLEndTran, handle, type, handle, completion);
}
SQLRETURN SQL_API SQLTransact(SQLHENV env, SQLHDBC dbc, SQLUSMALLINT completion) {
  FORWARD(SQLTransact, dbc, env, dbc, completion);
}
SQLRETURN SQL_API SQLGetDescField(SQLHDESC desc, SQLSMALLINT record, SQLSMALLINT field,
                                  SQLPOINTER value, SQLINTEGER size, SQLINTEGER* length) {
  FORWARD(SQLGetDescField, desc, desc, record, field, value, size, length);
}
SQLRETURN SQL_API SQLSetDescField(SQLHDESC desc, SQLSMALLINT record, SQLSMALLINT field,
                                  SQLPOINTER value, SQLINTEGER length) {
  FORWARD(SQLSetDescField, desc, desc, record, field, value, length);
}

}  // extern "C"
