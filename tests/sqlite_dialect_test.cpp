// The embedded database speaks the installation's Oracle statements: the rewrite of their text
// and the Oracle functions registered on SQLite.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "backends/sql_dialect.hpp"
#include "db/oracle_compat.hpp"

namespace zibrolt {
namespace {

TEST(SqliteDialect, RewritesIntoListQualifierSysdateAndNullOrder) {
  EXPECT_EQ(
      ToSqliteDialect("select TRMMOD ,TRMSAL into :b0:b1,:b2:b3  from Korvadat.Kvd1140Trm "
                      "where (TrmNam=:b4 and trunc(SYSDATE)>=AswGvo)"),
      "select TRMMOD ,TRMSAL from Kvd1140Trm where (TrmNam=:b4 and trunc(sysdate())>=AswGvo)");
  EXPECT_EQ(ToSqliteDialect("select A from KORVADAT.T ,korvadat.U order by A,B desc,C"),
            "select A from T ,U order by A NULLS LAST,B desc NULLS FIRST,C NULLS LAST");
  // Literals stay as they are, even when they hold words the rewrite looks for.
  EXPECT_EQ(ToSqliteDialect("select X from T where MSDERF='Korvadat.SYSDATE into' order by X"),
            "select X from T where MSDERF='Korvadat.SYSDATE into' order by X NULLS LAST");
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
  // A day after midnight is later than the day itself, as with Oracle dates.
  EXPECT_EQ(Eval("trunc(sysdate()) <= sysdate()"), "1");
  EXPECT_EQ(Eval("length(sysdate())"), "19");
  // A column that holds no date fails the statement instead of giving a wrong date.
  EXPECT_EQ(Eval("to_char('2026-13-01', 'yyyymmdd')"), "error");
  EXPECT_EQ(Eval("trunc('gestern')"), "error");
}

TEST_F(OracleFunctions, NvlAndNullOrder) {
  EXPECT_EQ(Eval("nvl(NULL, 1)"), "1");
  EXPECT_EQ(Eval("nvl(2, 1)"), "2");
  EXPECT_EQ(Eval("group_concat(x, ',') from (select x from (select 'b' x union all select NULL "
                 "union all select 'a') order by x NULLS LAST)"),
            "a,b");
}

}  // namespace
}  // namespace zibrolt
