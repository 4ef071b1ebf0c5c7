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

int TwoDigits(const unsigned char* s) { return (s[0] - '0') * 10 + (s[1] - '0'); }

// True for a real calendar day 'YYYY-MM-DD' optionally followed by ' HH:MM' or ' HH:MM:SS' (or
// 'T' as the separator) of a real time of day. Fractions of a second (".SSS", as SQLite's own
// strftime writes them) may follow. Nothing else: an Oracle DATE column cannot hold
// '2030-02-30' or a blank before the day, so such text is damage, not a date.
bool IsIsoDate(const unsigned char* s, int n) {
  if (n > 20 && s[19] == '.' && IsDigits(s + 20, n - 20)) n = 19;
  if (n != 10 && n != 16 && n != 19) return false;
  if (!IsDigits(s, 4) || s[4] != '-' || !IsDigits(s + 5, 2) || s[7] != '-' || !IsDigits(s + 8, 2))
    return false;
  const int year = TwoDigits(s) * 100 + TwoDigits(s + 2);
  const int month = TwoDigits(s + 5), day = TwoDigits(s + 8);
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year == 0 || month < 1 || month > 12 || day < 1 ||
      day > kDays[month - 1] + (month == 2 && leap ? 1 : 0))
    return false;
  if (n == 10) return true;
  if ((s[10] != ' ' && s[10] != 'T') || !IsDigits(s + 11, 2) || s[13] != ':' ||
      !IsDigits(s + 14, 2) || TwoDigits(s + 11) > 23 || TwoDigits(s + 14) > 59)
    return false;
  return n == 16 || (s[16] == ':' && IsDigits(s + 17, 2) && TwoDigits(s + 17) <= 59);
}

// Oracle has no empty date: '' in a date column is what NULL is there.
bool IsNoDate(sqlite3_value* v) {
  return sqlite3_value_type(v) == SQLITE_NULL ||
         (sqlite3_value_type(v) == SQLITE_TEXT && sqlite3_value_bytes(v) == 0);
}

// Text that is neither a date nor empty; numbers are left to the comparisons as they are.
bool IsBadDate(sqlite3_value* v) {
  if (sqlite3_value_type(v) != SQLITE_TEXT || sqlite3_value_bytes(v) == 0) return false;
  return !IsIsoDate(sqlite3_value_text(v), sqlite3_value_bytes(v));
}

// The statement stops with SQLITE_MISMATCH, which the run answers by naming the badge row
// (FindBadDate in data/badges.hpp).
void ResultBadDate(sqlite3_context* ctx) {
  sqlite3_result_error(ctx, "ORA-01858: date column holds no date", -1);
  sqlite3_result_error_code(ctx, SQLITE_MISMATCH);
}

// The value itself as the result. A text is handed over as text: SQLite copies a value passed
// whole into a buffer it allocates anew on every call, which for a function named several times
// in every row of the badge list is most of its cost.
void ResultSame(sqlite3_context* ctx, sqlite3_value* v) {
  if (sqlite3_value_type(v) != SQLITE_TEXT) return sqlite3_result_value(ctx, v);
  sqlite3_result_text(ctx, reinterpret_cast<const char*>(sqlite3_value_text(v)),
                      sqlite3_value_bytes(v), SQLITE_TRANSIENT);
}

// A date column as Oracle would hold it: NULL for '', the text of a date unchanged, and an
// error for anything else, which a comparison would otherwise take as text and so keep or drop
// the row by the order of its characters.
void OraDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  // The value is asked for its type, text and length once each: this runs several times in
  // every row of the badge list.
  sqlite3_value* v = argv[0];
  const int type = sqlite3_value_type(v);
  if (type != SQLITE_TEXT) {
    if (type != SQLITE_NULL) sqlite3_result_value(ctx, v);  // a number, left as it is
    return;
  }
  const unsigned char* s = sqlite3_value_text(v);
  const int n = sqlite3_value_bytes(v);
  if (n == 0) return;  // NULL result
  if (!s || !IsIsoDate(s, n)) return ResultBadDate(ctx);
  sqlite3_result_text(ctx, reinterpret_cast<const char*>(s), n, SQLITE_TRANSIENT);
}

// The text of a date column that holds no date, else NULL: for finding and naming such rows.
void OraBadDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsBadDate(argv[0])) ResultSame(ctx, argv[0]);
}

void Nvl(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ResultSame(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[1] : argv[0]);
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
      if (n == 0) return;  // no date: NULL
      if (!s || !IsIsoDate(s, n)) return ResultBadDate(ctx);
      sqlite3_result_text(ctx, reinterpret_cast<const char*>(s), 10, SQLITE_TRANSIENT);
    }
  }
}

// TO_CHAR(date, format) with the format elements YYYY, MM, DD, HH24, MI and SS.
void ToChar(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNoDate(argv[0])) return;  // NULL result
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
    sqlite3_result_value(ctx, argv[0]);  // a number: its own text
    return;
  }
  const unsigned char* s = sqlite3_value_text(argv[0]);
  int n = sqlite3_value_bytes(argv[0]);
  if (!IsIsoDate(s, n)) return ResultBadDate(ctx);
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

// DUMP(value, 1016) as Oracle writes it for a text, so that a data source through ODBC can be
// asked how it received a bound value: SQLite keeps every text as it came, unpadded and in
// UTF-8, as Oracle keeps a VARCHAR2 of a database in AL32UTF8. Other values: NULL.
void Dump(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return;
  const unsigned char* s = sqlite3_value_text(argv[0]);
  const int n = sqlite3_value_bytes(argv[0]);
  std::string out = "Typ=1 Len=" + std::to_string(n) + " CharacterSet=AL32UTF8: ";
  static constexpr char kHex[] = "0123456789abcdef";
  for (int i = 0; i < n; ++i) {
    if (i > 0) out.push_back(',');
    if (s[i] >= 16) out.push_back(kHex[s[i] >> 4]);
    out.push_back(kHex[s[i] & 15]);
  }
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

}  // namespace

int RegisterOracleCompat(sqlite3* db) {
  constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  int rc = sqlite3_create_function(db, "nvl", 2, kPure, nullptr, Nvl, nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "trunc", 1, kPure, nullptr, Trunc, nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "ora_date", 1, kPure, nullptr, OraDate, nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "ora_bad_date", 1, kPure, nullptr, OraBadDate, nullptr,
                                 nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "to_char", 2, kPure, nullptr, ToChar, nullptr, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "dump", 2, kPure, nullptr, Dump, nullptr, nullptr);
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
