// The embedded database speaks the installation's Oracle statements: the rewrite of their text
// and the Oracle functions registered on SQLite.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "backends/sql_dialect.hpp"
#include "data/statements.hpp"
#include "db/oracle_compat.hpp"
#include "tests/harness.hpp"

namespace zibrolt {
namespace {

TEST(SqliteDialect, RewritesIntoListQualifierSysdateAndNullOrder) {
  EXPECT_EQ(ToSqliteDialect("select TRMMOD ,TRMSAL into :b0:b1,:b2:b3  from Korvadat.Kvd1140Trm "
                            "where (TrmNam=:b4 and trunc(SYSDATE)>=AswGvo)"),
            "select TRMMOD ,TRMSAL from Kvd1140Trm where (TrmNam=:b4 and "
            "trunc_sysdate()>=ora_date(AswGvo))");
  EXPECT_EQ(ToSqliteDialect("select SYSDATE ,Trunc(sysdate) ,trunc(AswGvo) from dual"),
            "select datetime('now','localtime') ,trunc_sysdate() ,trunc(AswGvo) ");
  // Date columns are taken as Oracle holds them, qualified or not, except where the list is
  // ordered by them (an index delivers that order), where their stored text is looked at, and
  // where TO_CHAR or TRUNC take them (which hold them so themselves).
  EXPECT_EQ(ToSqliteDialect("select a.AswGbi ,ora_bad_date(ASWGVO) ,TO_CHAR(AswGbi,'yyyymmdd') "
                            "from T a where a.aswgvo<=:b0 order by AswGvo"),
            "select ora_date(a.AswGbi) ,ora_bad_date(ASWGVO) ,TO_CHAR(AswGbi,'yyyymmdd') from T "
            "a where ora_date(a.aswgvo)<=:b0 order by AswGvo IS NULL,AswGvo");
  EXPECT_EQ(ToSqliteDialect("select A from KORVADAT.T ,korvadat.U order by A,T.B desc,C asc"),
            "select A from T ,U order by A IS NULL,A,T.B IS NULL desc,T.B desc,C IS NULL,C asc");
  // The badge list's order ends with the order its rows were stored in; no other order does.
  EXPECT_EQ(ToSqliteDialect("select AswNum from Korvadat.Kvd301Asw order by AswNum,AswGvo, aswbkl"),
            "select AswNum from Kvd301Asw order by AswNum IS NULL,AswNum,AswGvo IS NULL,AswGvo, "
            "aswbkl IS NULL,aswbkl,Kvd301Asw.rowid");
  EXPECT_EQ(ToSqliteDialect("select AswNum from Kvd301Asw order by AswNum,AswGvo"),
            "select AswNum from Kvd301Asw order by AswNum IS NULL,AswNum,AswGvo IS NULL,AswGvo");
  // Literals stay as they are, even when they hold words the rewrite looks for.
  EXPECT_EQ(ToSqliteDialect("select X from T where MSDERF='Korvadat.SYSDATE into' order by X"),
            "select X from T where MSDERF='Korvadat.SYSDATE into' order by X IS NULL,X");
  // Terms that are no column, and the ORDER BY of a compound select, which takes result columns
  // only, keep SQLite's own words.
  EXPECT_EQ(ToSqliteDialect("select A from T order by 1,lower(A) desc"),
            "select A from T order by 1 NULLS LAST,lower(A) desc NULLS FIRST");
  EXPECT_EQ(ToSqliteDialect("select A from T union all select B from U order by A"),
            "select A from T union all select B from U order by A NULLS LAST");
  // An ORDER BY inside parentheses ends where they close.
  EXPECT_EQ(ToSqliteDialect("select A from (select A from T order by A desc) where A>1"),
            "select A from (select A from T order by A desc NULLS FIRST) where A>1");
  EXPECT_EQ(RemoveIntoList("select count(*)  into :b0:b1  from T where A=:b2"),
            "select count(*)  from T where A=:b2");
}

class OracleFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    ASSERT_EQ(RegisterOracleCompat(db_), SQLITE_OK);
  }
  void TearDown() override { sqlite3_close(db_); }
  // The first column of the first row as text ("NULL" for NULL), or "error".
  std::string Eval(const std::string& expression) {
    sqlite3_stmt* st = nullptr;
    std::string sql = "select " + expression;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return "error";
    std::string result = "error";
    if (sqlite3_step(st) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(st, 0);
      result = text ? reinterpret_cast<const char*>(text) : "NULL";
    }
    sqlite3_finalize(st);
    return result;
  }
  sqlite3* db_ = nullptr;
};

TEST_F(OracleFunctions, DatesAsOracleTreatsThem) {
  EXPECT_EQ(Eval("to_char('2026-02-03', 'yyyymmdd')"), "20260203");
  EXPECT_EQ(Eval("to_char('2026-02-03 14:05:09', 'YYYY-MM-DD HH24:MI:SS')"), "2026-02-03 14:05:09");
  EXPECT_EQ(Eval("to_char('2026-02-03T14:05:09.123', 'yyyymmdd')"), "20260203");
  EXPECT_EQ(Eval("to_char(NULL, 'yyyymmdd')"), "NULL");
  EXPECT_EQ(Eval("trunc('2026-02-03 14:05:09')"), "2026-02-03");
  EXPECT_EQ(Eval("trunc(NULL) is null"), "1");
  EXPECT_EQ(Eval("trunc(-2.7)"), "-2.0");
  // Beyond the 64-bit range a real is integral already and stays a real.
  EXPECT_EQ(Eval("trunc(1e300)"), "1.0e+300");
  EXPECT_EQ(Eval("trunc(-9.3e18)"), "-9.3e+18");
  // A day after midnight is later than the day itself, as with Oracle dates.
  EXPECT_EQ(Eval("trunc(sysdate()) <= sysdate()"), "1");
  EXPECT_EQ(Eval("length(sysdate())"), "19");
  // A column that holds no date fails the statement instead of giving a wrong date.
  EXPECT_EQ(Eval("to_char('2026-13-01', 'yyyymmdd')"), "error");
  EXPECT_EQ(Eval("trunc('gestern')"), "error");
}

// Oracle has no empty date and no 30 February: the embedded text is held to that.
TEST_F(OracleFunctions, DateColumnsHoldDatesOrNothing) {
  struct Case {
    const char* stored;  // as SQL
    const char* date;    // ora_date, to_char(...,'yyyymmdd') and trunc agree on it
    const char* bad;     // ora_bad_date
  } const cases[] = {
      {"NULL", "NULL", "NULL"},
      {"''", "NULL", "NULL"},
      {"'2028-02-29'", "20280229", "NULL"},
      {"'2000-02-29 23:59:59'", "20000229", "NULL"},
      {"'2030-02-30'", "error", "2030-02-30"},
      {"'2100-02-29'", "error", "2100-02-29"},
      {"' 2030-12-31'", "error", " 2030-12-31"},
      {"'2030-12-31 '", "error", "2030-12-31 "},
      {"'31.12.2030'", "error", "31.12.2030"},
      {"'2030-12-31 24:00'", "error", "2030-12-31 24:00"},
      {"'0000-01-01'", "error", "0000-01-01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    const std::string v = c.stored;
    EXPECT_EQ(Eval("to_char(" + v + ", 'yyyymmdd')"), c.date);
    EXPECT_EQ(Eval("to_char(ora_date(" + v + "), 'yyyymmdd')"), c.date);
    EXPECT_EQ(Eval("trunc(" + v + ") is null"), std::string(c.date) == "error"  ? "error"
                                                : std::string(c.date) == "NULL" ? "1"
                                                                                : "0");
    EXPECT_EQ(Eval("ora_bad_date(" + v + ")"), c.bad);
  }
}

// Waits in the middle of a statement until the clock has moved to the next second.
void AwaitNextSecond(sqlite3_context* ctx, int, sqlite3_value**) {
  const std::time_t start = std::time(nullptr);
  while (std::time(nullptr) == start) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  sqlite3_result_int(ctx, 1);
}

TEST_F(OracleFunctions, SysdateIsOneTimePerExecutionAndStaysOutOfTheSchema) {
  ASSERT_EQ(sqlite3_create_function(db_, "await_next_second", 0, SQLITE_UTF8, nullptr,
                                    AwaitNextSecond, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db_,
                               "select count(distinct d), max(d), count(distinct t), max(t) from "
                               "(select sysdate() d, trunc_sysdate() t union all select "
                               "sysdate(), trunc_sysdate() where await_next_second())",
                               -1, &st, nullptr),
            SQLITE_OK);
  std::string first;
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), 1) << "one time across the clock's next second";
    std::string now = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
    EXPECT_EQ(sqlite3_column_int(st, 2), 1);
    EXPECT_EQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 3)), now.substr(0, 10))
        << "today is the day of the execution's SYSDATE";
    if (run == 1) {
      EXPECT_GT(now, first) << "the next execution takes the time afresh";
    }
    first = now;
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  // Not deterministic, and not callable from schema objects.
  for (const char* sql :
       {"create table t(a, b as (sysdate()))", "create table t(a, b as (trunc_sysdate()))"})
    EXPECT_NE(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  ASSERT_EQ(sqlite3_exec(db_, "create view v as select sysdate() d", nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(Eval("d from v"), "error");
}

TEST_F(OracleFunctions, OrderedAsOracleOrdersNulls) {
  ASSERT_EQ(sqlite3_exec(db_,
                         "create table t(a, b); insert into t values ('b', 1), (NULL, 2), "
                         "('a', NULL), ('b', NULL), (NULL, 1)",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(Eval("group_concat(coalesce(a, '-') || coalesce(b, '-'), ' ') from (" +
                 ToSqliteDialect("select a ,b from t order by a,b") + ")"),
            "a- b1 b- -1 -2");
  EXPECT_EQ(Eval("group_concat(coalesce(a, '-') || coalesce(b, '-'), ' ') from (" +
                 ToSqliteDialect("select a ,b from t order by a desc,b desc") + ")"),
            "-2 -1 b- b1 a-");
}

TEST_F(OracleFunctions, NvlAndNullOrder) {
  EXPECT_EQ(Eval("nvl(NULL, 1)"), "1");
  EXPECT_EQ(Eval("nvl(2, 1)"), "2");
  EXPECT_EQ(Eval("group_concat(x, ',') from (select x from (select 'b' x union all select NULL "
                 "union all select 'a') order by x NULLS LAST)"),
            "a,b");
}

// The badge list and a badge's balances come from an index alone, in the list's order: where the
// rows were stored as they came over the years, a visit to the table is a page anywhere in the
// file, and a sort of the whole list would hold it in memory (rows equal in the index's leading
// columns are sorted among themselves). Rows equal in badge, start and class still come in the
// order they were stored, not in that of the index's further columns.
TEST_F(OracleFunctions, ListAndBalancesAreReadFromTheSchemasIndexesAlone) {
  const std::string schema =
      test::ReadFile(std::filesystem::path(ZIBROLT_SOURCE_DIR) / "db" / "schema.sql");
  ASSERT_EQ(sqlite3_exec(db_, schema.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  int checked = 0;
  for (const ListedStatement& s : DataStatements()) {
    if (s.places > 0 || !(s.name.starts_with("Ausweisliste") || s.name.starts_with("Sald")))
      continue;
    ++checked;
    sqlite3_stmt* st = nullptr;
    const std::string explain = "explain query plan " + ToSqliteDialect(s.text);
    ASSERT_EQ(sqlite3_prepare_v2(db_, explain.c_str(), -1, &st, nullptr), SQLITE_OK) << s.name;
    std::string plan;
    while (sqlite3_step(st) == SQLITE_ROW) {
      const std::string step = reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
      plan += step + "\n";
      EXPECT_TRUE(step.find("TEMP B-TREE") == std::string::npos ||
                  step.find("RIGHT PART OF ORDER BY") != std::string::npos)
          << s.name << ": " << step;
      const bool table =
          step.find("Kvd301Asw") != std::string::npos || step.find("O2002TSW") != std::string::npos;
      EXPECT_TRUE(!table || step.find("COVERING INDEX") != std::string::npos)
          << s.name << ": " << step;
    }
    sqlite3_finalize(st);
    EXPECT_NE(plan, "") << s.name;
  }
  EXPECT_EQ(checked, 6);  // the three lists, every balance column and the two single values

  ASSERT_EQ(sqlite3_exec(db_,
                         "INSERT INTO Kvd113Awv (AWVNUM) VALUES ('7'); INSERT INTO Kvd301Asw "
                         "(AswNum, AswGvo, AswGbi, AswBkl, AswPnr) VALUES "
                         "('7', '2000-01-01', '2099-12-31', 'K', 'second'), "
                         "('7', '2000-01-01', NULL, 'K', 'third'), "
                         "('7', '2000-01-01', '2099-01-01', 'A', 'first')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  for (const ListedStatement& s : DataStatements()) {
    if (s.name != "Ausweisliste (alle)") continue;
    EXPECT_EQ(
        Eval("group_concat(p, ' ') from (select AswPnr p from (" + ToSqliteDialect(s.text) + "))"),
        "first second third");
  }
}

}  // namespace
}  // namespace zibrolt
