// Implementations of the Oracle-compatible functions. They run once per row of the badge list,
// so SYSDATE is formatted once per statement execution and the others work on the raw bytes.
#include "db/oracle_compat.hpp"

#include <strings.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <ctime>
#include <string>

#include "db/sqlite_api.hpp"

namespace zibrolt {
namespace {

bool IsDigits(const unsigned char* s, int n) {
  for (int i = 0; i < n; ++i)
    if (!std::isdigit(s[i])) return false;
  return true;
}

// True for 'YYYY-MM-DD' optionally followed by ' HH:MM' or ' HH:MM:SS' (or 'T' as the
// separator).
// Fractions of a second (".SSS", as SQLite's own strftime writes them) may follow.
bool IsIsoDate(const unsigned char* s, int n) {
  if (n > 20 && s[19] == '.' && IsDigits(s + 20, n - 20)) n = 19;
  if (n != 10 && n != 16 && n != 19) return false;
  if (!IsDigits(s, 4) || s[4] != '-' || !IsDigits(s + 5, 2) || s[7] != '-' || !IsDigits(s + 8, 2))
    return false;
  int month = (s[5] - '0') * 10 + (s[6] - '0');
  int day = (s[8] - '0') * 10 + (s[9] - '0');
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  if (n == 10) return true;
  if ((s[10] != ' ' && s[10] != 'T') || !IsDigits(s + 11, 2) || s[13] != ':' ||
      !IsDigits(s + 14, 2))
    return false;
  return n == 16 || (s[16] == ':' && IsDigits(s + 17, 2));
}

void Nvl(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[1] : argv[0]);
}

// TRUNC(date) cuts the time of day; TRUNC(number) cuts the fraction.
void Trunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
      return;  // NULL result
    case SQLITE_INTEGER:
      sqlite3_result_value(ctx, argv[0]);
      return;
    case SQLITE_FLOAT:
      // Without a detour through a 64-bit integer: a real beyond its range (1e300) is
      // integral already and stays as it is.
      sqlite3_result_double(ctx, std::trunc(sqlite3_value_double(argv[0])));
      return;
    default: {
      const unsigned char* s = sqlite3_value_text(argv[0]);
      int n = sqlite3_value_bytes(argv[0]);
      if (!s || !IsIsoDate(s, n)) {
        sqlite3_result_error(ctx, "ORA-01858: date column holds no date", -1);
        return;
      }
      sqlite3_result_text(ctx, reinterpret_cast<const char*>(s), 10, SQLITE_TRANSIENT);
    }
  }
}

// TO_CHAR(date, format) with the format elements YYYY, MM, DD, HH24, MI and SS.
void ToChar(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
    sqlite3_result_value(ctx, argv[0]);  // a number: its own text
    return;
  }
  const unsigned char* s = sqlite3_value_text(argv[0]);
  int n = sqlite3_value_bytes(argv[0]);
  if (!IsIsoDate(s, n)) {
    sqlite3_result_error(ctx, "ORA-01858: date column holds no date", -1);
    return;
  }
  const char* fmt0 = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
  if (fmt0 && strcasecmp(fmt0, "yyyymmdd") == 0) {  // the badge list's format, twice a row
    const char ymd[8] = {char(s[0]), char(s[1]), char(s[2]), char(s[3]),
                         char(s[5]), char(s[6]), char(s[8]), char(s[9])};
    sqlite3_result_text(ctx, ymd, 8, SQLITE_TRANSIENT);
    return;
  }
  char time[9] = "00:00:00";
  if (n >= 16) std::memcpy(time, s + 11, n >= 19 ? 8 : 5);
  const char* fmt = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
  if (!fmt) return;
  char out[64];
  int o = 0;
  auto take = [&](const char* from, int count) {
    for (int i = 0; i < count && o < static_cast<int>(sizeof out); ++i) out[o++] = from[i];
  };
  const char* date = reinterpret_cast<const char*>(s);
  for (const char* f = fmt; *f && o < static_cast<int>(sizeof out);) {
    if (strncasecmp(f, "yyyy", 4) == 0) {
      take(date, 4);
      f += 4;
    } else if (strncasecmp(f, "hh24", 4) == 0) {
      take(time, 2);
      f += 4;
    } else if (strncasecmp(f, "mm", 2) == 0) {
      take(date + 5, 2);
      f += 2;
    } else if (strncasecmp(f, "dd", 2) == 0) {
      take(date + 8, 2);
      f += 2;
    } else if (strncasecmp(f, "mi", 2) == 0) {
      take(time + 3, 2);
      f += 2;
    } else if (strncasecmp(f, "ss", 2) == 0) {
      take(time + 6, 2);
      f += 2;
    } else
      out[o++] = *f++;
  }
  sqlite3_result_text(ctx, out, o, SQLITE_TRANSIENT);
}

// SYSDATE: the local date and time. Oracle takes it once per statement execution, so a badge
// list read across midnight still has one "today". The first call of an execution keeps its text
// in the statement's auxiliary data under a negative id: SQLite shares such data among all calls
// of the statement and drops it when the execution ends. That also spares formatting the time
// for every row.
constexpr int kSysDateAuxId = -0x5359;

constexpr int kSysDateLength = 19;  // YYYY-MM-DD HH:MM:SS
constexpr int kDayLength = 10;      // YYYY-MM-DD

// Sets the result to the first length characters of the execution's SYSDATE text.
void ResultSysDate(sqlite3_context* ctx, int length) {
  if (const auto* kept = static_cast<const char*>(sqlite3_get_auxdata(ctx, kSysDateAuxId))) {
    sqlite3_result_text(ctx, kept, length, SQLITE_TRANSIENT);
    return;
  }
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  // "%Y-%m-%d %H:%M:%S", written digit by digit: strftime costs more than all the rest here.
  char text[kSysDateLength + 1] = "0000-00-00 00:00:00";
  auto put = [&text](int at, int value, int digits) {
    for (int i = digits - 1; i >= 0; --i, value /= 10)
      text[at + i] = static_cast<char>('0' + value % 10);
  };
  put(0, local.tm_year + 1900, 4);
  put(5, local.tm_mon + 1, 2);
  put(8, local.tm_mday, 2);
  put(11, local.tm_hour, 2);
  put(14, local.tm_min, 2);
  put(17, local.tm_sec, 2);
  sqlite3_result_text(ctx, text, length, SQLITE_TRANSIENT);
  // Without memory for the copy each call takes the time afresh, as if not kept.
  if (auto* copy = static_cast<char*>(sqlite3_malloc(sizeof text))) {
    std::memcpy(copy, text, sizeof text);
    sqlite3_set_auxdata(ctx, kSysDateAuxId, copy, sqlite3_free);
  }
}

void SysDate(sqlite3_context* ctx, int, sqlite3_value**) { ResultSysDate(ctx, kSysDateLength); }

// TRUNC(SYSDATE): today, 'YYYY-MM-DD', from the execution's SYSDATE. One value per execution
// lets SQLite compute it once per execution instead of once per row: hence registered as
// deterministic, which the kept time makes it within an execution.
void TruncSysDate(sqlite3_context* ctx, int, sqlite3_value**) { ResultSysDate(ctx, kDayLength); }

}  // namespace

int RegisterOracleCompat(sqlite3* db) {
  constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  int rc = sqlite3_create_function(db, "nvl", 2, kPure, nullptr, Nvl, nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "trunc", 1, kPure, nullptr, Trunc, nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "to_char", 2, kPure, nullptr, ToChar, nullptr, nullptr);
  // SYSDATE changes over time, so it must not go into an index, a generated column or a
  // CHECK; and since the extension can be loaded into any connection, a view or trigger
  // of someone else's schema must not call it either.
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "sysdate", 0, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr,
                                 SysDate, nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "trunc_sysdate", 0,
                                 SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, nullptr,
                                 TruncSysDate, nullptr, nullptr);
  return rc;
}

}  // namespace zibrolt
