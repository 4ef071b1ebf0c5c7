// The ODBC backend against the embedded one on the same database file: every status, text and
// integer the client layer hands out must be the same through both, and so must the files and
// messages of whole runs. The ODBC side is an SQLite file behind the SQLite ODBC driver.
#include "backends/odbc.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "backends/sql_dialect.hpp"
#include "backends/sqlite.hpp"
#include "client/sqlhlp.hpp"
#include "tests/harness.hpp"
#include "text/cp1252.hpp"

namespace zibrolt::test {
namespace {

using sqlhlp::Column;
using sqlhlp::Connection;
using sqlhlp::Query;

// Statement texts in the form the program writes them (into-list, Korvadat qualifier).
constexpr Column kOneText[] = {sqlhlp::Text(11)};
constexpr Query kLocationText{"SELECT StoKtx into :b0:b1  from Korvadat.Kvd113Sto where StoNum=:b2",
                              kOneText};
constexpr Query kLocationByText{
    "SELECT StoKtx into :b0:b1  from Korvadat.Kvd113Sto where StoKtx=:b2", kOneText};
constexpr Column kShortText[] = {sqlhlp::Text(5)};
constexpr Query kShortLocationText{
    "SELECT StoKtx into :b0:b1  from Korvadat.Kvd113Sto where StoNum=:b2", kShortText};
constexpr Column kOneInt[] = {sqlhlp::Int()};
constexpr Query kCountAndNvl{
    "SELECT count(*)+NVL(max(StoSta),100) into :b0:b1  from Korvadat.Kvd113Sto where StoNum>=:b2",
    kOneInt};
constexpr Query kMissingTable{"SELECT x into :b0:b1  from Korvadat.NoSuchTable", kOneText};
// Double quotes name a column; a misspelt one must not turn into a text literal.
constexpr Query kDoubleQuoted{
    "SELECT StoKtx into :b0:b1  from Korvadat.Kvd113Sto where StoKtx=\"EG\"", kOneText};
constexpr Column kNumberAndText[] = {sqlhlp::Int(), sqlhlp::Text(11)};
constexpr Query kLocationCursor{
    "SELECT StoNum ,StoKtx  from Korvadat.Kvd113Sto where StoNum>=:b0 order by StoNum",
    kNumberAndText};

// UTF-8 in the database: "Müller €", "Grüße€xyz", five characters beyond the BMP.
const std::string kLocations =
    "INSERT INTO Kvd113Sto VALUES (1,'EG',1), (2,'Halle',1), (2,'Halle B',1), (3,NULL,NULL),"
    " (4,'M\xC3\xBCller \xE2\x82\xAC',1), (5,'Gr\xC3\xBC\xC3\x9F\x65\xE2\x82\xACxyz',1),"
    " (6,'\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80',1);"
    // 150 numbered rows from 1000 on: more than two row arrays of a cursor.
    "WITH RECURSIVE n(i) AS (SELECT 1000 UNION ALL SELECT i+1 FROM n WHERE i<1149)"
    " INSERT INTO Kvd113Sto SELECT i, 'S' || i, 1 FROM n;";

// Both backends on the installation's database: [0] embedded, [1] through ODBC.
struct Backends {
  std::unique_ptr<Connection> db[2];
};

void ConnectBoth(const Installation& inst, Backends& b) {
  ASSERT_EQ(
      sqlhlp::ConnectDatabase("", "", "sqlite:" + inst.database().string(), "KORVADAT", b.db[0]),
      0);
  setenv("ODBCINI", inst.OdbcIni().c_str(), 1);
  ASSERT_EQ(sqlhlp::ConnectDatabase("demo", "geheim", OdbcDataSource(), "KORVADAT", b.db[1]), 0);
}

#define REQUIRE_ODBC() \
  if (!OdbcAvailable()) GTEST_SKIP() << "the SQLite ODBC driver is missing"

const char* BackendName(int i) { return i == 0 ? "embedded" : "odbc"; }

TEST(OdbcClient, SingleRowQueryStatuses) {
  REQUIRE_ODBC();
  Installation inst(kLocations);
  Backends b;
  ConnectBoth(inst, b);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(BackendName(i));
    sqlhlp::Statement& s = b.db[i]->Use(kLocationText);
    s.BindInt(0, 1);
    EXPECT_EQ(s.SelectOne(), 0);
    EXPECT_EQ(s.GetText(0), "EG");
    s.BindInt(0, 9);
    EXPECT_EQ(s.SelectOne(), 1403);
    s.BindInt(0, 2);
    EXPECT_EQ(s.SelectOne(), -1422);
    EXPECT_EQ(s.GetText(0), "Halle") << "the first row stays in the outputs";
    s.BindInt(0, 3);
    EXPECT_EQ(s.SelectOne(), 0);
    EXPECT_EQ(s.GetText(0), "");
    EXPECT_TRUE(s.IsNull(0));

    sqlhlp::Statement& n = b.db[i]->Use(kCountAndNvl);
    n.BindInt(0, 3);
    EXPECT_EQ(n.SelectOne(), 0);
    EXPECT_EQ(n.GetInt(0), 154 + 1) << "count plus the largest status";
    n.BindInt(0, 5000);
    EXPECT_EQ(n.SelectOne(), 0);
    EXPECT_EQ(n.GetInt(0), 100) << "no row: NVL's default";

    EXPECT_EQ(b.db[i]->Use(kMissingTable).SelectOne(), -1);
    EXPECT_EQ(b.db[i]->Use(kDoubleQuoted).SelectOne(), -1);
  }
}

TEST(OdbcClient, CursorDeliversEveryRowAcrossRowArrays) {
  REQUIRE_ODBC();
  Installation inst(kLocations);
  Backends b;
  ConnectBoth(inst, b);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(BackendName(i));
    sqlhlp::Statement& c = b.db[i]->Use(kLocationCursor);
    EXPECT_EQ(c.Fetch(), -1001) << "not open";
    EXPECT_EQ(c.Close(), -1001);
    for (int from : {1000, 1100}) {  // opened twice: the second run starts afresh
      c.BindInt(0, from);
      ASSERT_EQ(c.Open(), 0);
      int expected = from;
      int status;
      while ((status = c.Fetch()) == 0) {
        EXPECT_EQ(c.GetInt(0), expected);
        EXPECT_EQ(c.GetText(1), "S" + std::to_string(expected));
        ++expected;
      }
      EXPECT_EQ(status, 1403);
      EXPECT_EQ(expected, 1150);
      EXPECT_EQ(c.Fetch(), 1403);
      EXPECT_EQ(c.Close(), 0);
    }
    EXPECT_EQ(c.Fetch(), -1001) << "closed";
    EXPECT_EQ(b.db[i]->Use(kMissingTable).Open(), -1);
  }
  EXPECT_EQ(b.db[0]->counters().fetches, b.db[1]->counters().fetches);
  EXPECT_EQ(b.db[0]->counters().executions, b.db[1]->counters().executions);
}

TEST(OdbcClient, TextIsWindows1252BothWaysAndCutToCapacity) {
  REQUIRE_ODBC();
  Installation inst(kLocations);
  Backends b;
  ConnectBoth(inst, b);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(BackendName(i));
    sqlhlp::Statement& s = b.db[i]->Use(kLocationText);
    s.BindInt(0, 4);
    ASSERT_EQ(s.SelectOne(), 0);
    EXPECT_BYTES(std::string("M\xFCller \x80"), std::string(s.GetText(0)));
    s.BindInt(0, 6);
    ASSERT_EQ(s.SelectOne(), 0);
    EXPECT_BYTES(std::string("?????"), std::string(s.GetText(0)));

    // A bound text reaches the database as the same characters.
    sqlhlp::Statement& t = b.db[i]->Use(kLocationByText);
    t.BindText(0, "M\xFCller \x80");
    ASSERT_EQ(t.SelectOne(), 0);
    EXPECT_BYTES(std::string("M\xFCller \x80"), std::string(t.GetText(0)));
    t.BindText(0, "Muller \x80");
    EXPECT_EQ(t.SelectOne(), 1403);

    // Capacity 5: four characters, counted in Windows-1252 characters.
    sqlhlp::Statement& c = b.db[i]->Use(kShortLocationText);
    c.BindInt(0, 5);
    ASSERT_EQ(c.SelectOne(), 0);
    EXPECT_BYTES(std::string("Gr\xFC\xDF"), std::string(c.GetText(0)));
    c.BindInt(0, 6);
    ASSERT_EQ(c.SelectOne(), 0);
    EXPECT_BYTES(std::string("????"), std::string(c.GetText(0)));
  }
}

TEST(OdbcClient, SchemaSwitchAnswersAsTheEmbeddedDatabase) {
  REQUIRE_ODBC();
  Installation inst;
  setenv("ODBCINI", inst.OdbcIni().c_str(), 1);
  for (const std::string& target : {"sqlite:" + inst.database().string(), OdbcDataSource()}) {
    SCOPED_TRACE(target);
    std::unique_ptr<Connection> db;
    EXPECT_EQ(sqlhlp::ConnectDatabase("demo", "geheim", target, "korvadat", db), 0);
    EXPECT_EQ(sqlhlp::ConnectDatabase("demo", "geheim", target, "KORVADAT", db), 0);
    EXPECT_EQ(sqlhlp::ConnectDatabase("demo", "geheim", target, "ABCD", db), -1435);
  }
}

TEST(OdbcClient, BrokenDataSourcesFailTheConnect) {
  REQUIRE_ODBC();
  Installation inst;
  const std::string driver = "Driver = " ZIBROLT_SQLITE_ODBC_DRIVER "\n";
  const std::string extension = "LoadExt = " ZIBROLT_COMPAT_EXTENSION "\n";
  const std::filesystem::path missing = inst.root() / "db" / "missing.db";
  WriteFile(inst.OdbcIni(),
            "[NOFILE]\n" + driver + extension + "Database = " + missing.string() +
                "\nNoCreat = 1\n"
                "[NOEXT]\n" +
                driver + "Database = " + inst.database().string() +
                "\nNoCreat = 1\nLoadExt = " + (inst.root() / "nowhere.so").string() + "\n");
  setenv("ODBCINI", inst.OdbcIni().c_str(), 1);
  std::unique_ptr<Connection> db;
  auto connect = [&](const char* dsn) {
    return sqlhlp::ConnectDatabase("demo", "geheim", dsn, "KORVADAT", db);
  };
  EXPECT_EQ(connect("NOSUCHDSN"), backend::kNoDataSource);
  EXPECT_EQ(connect("NOFILE"), -14) << "as the embedded one";
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(connect("NOEXT"), -1) << "no such function";
  EXPECT_EQ(db, nullptr);
}

TEST(OdbcText, Utf16AndWindows1252BothWays) {
  std::u16string wide;
  Cp1252ToUtf16("A\xE4\x80\x9F\x81\xFF", wide);
  EXPECT_EQ(wide, u"A\u00E4\u20AC\u0178\uFFFD\u00FF") << "0x81 has no character";
  std::string narrow;
  Utf16ToCp1252(u"A\u00E4\u20AC\u0178\u0100\U0001F600|\xD800|\xDC00", narrow);
  EXPECT_BYTES(std::string("A\xE4\x80\x9F??|?|?"), narrow);
  narrow.clear();
  Utf8ToCp1252("\xC5\xB8", narrow);  // the same table serves UTF-8
  EXPECT_BYTES(std::string("\x9F"), narrow);
}

TEST(OdbcClient, PlaceholdersBecomePositionalOutsideLiterals) {
  EXPECT_EQ(ToPositionalPlaceholders(RemoveIntoList(
                "SELECT a ,b into :b0:b1,:b2:b3  from T where (x=:b4 and y=':b5' and z=:b10)")),
            "SELECT a ,b from T where (x=? and y=':b5' and z=?)");
  EXPECT_EQ(ToPositionalPlaceholders("SELECT a from T where x=:c1 and y=:b"),
            "SELECT a from T where x=:c1 and y=:b");
}

// Whole runs ---------------------------------------------------------------------------------

TEST(OdbcRun, UnknownDataSourceIsAConnectError) {
  Login login;
  login.net = "NOSUCHDSN";
  login.password = "p/w@x";
  Installation inst({}, login);
  inst.WriteOut("old");
  RunResult r = inst.Generate("IDSTAMM", "T1");
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_BYTES(
      "DB-Connect-Error: -12154!Name:demo Pwd:******** Net:NOSUCHDSN "
      "Schema:KORVADAT\n",
      r.output);
  EXPECT_EQ(inst.ReadOut(), "old");
}

// Runs the same command on the embedded database and through ODBC; both must agree byte for
// byte in the file and on standard output.
void ExpectSameRunOnBothBackends(Installation& inst, const std::string& function,
                                 const std::string& terminal) {
  SCOPED_TRACE(function + " " + terminal);
  RunResult results[2];
  std::string files[2];
  for (int i = 0; i < 2; ++i) {
    Login login;
    login.net = i == 0 ? inst.SqliteNet() : OdbcDataSource();
    inst.WriteSettings(login);
    inst.WriteOut("old");
    results[i] = inst.Generate(function, terminal, "out.dnl", "1", {"/d"});
    files[i] = inst.ReadOut();
  }
  EXPECT_EQ(results[0].exitStatus, results[1].exitStatus);
  EXPECT_BYTES(results[0].output, results[1].output);
  EXPECT_BYTES(files[0], files[1]);
}

TEST(OdbcRun, DemoFilesAreTheSameThroughBothBackends) {
  REQUIRE_ODBC();
  std::string sql;
  for (const auto& entry : std::filesystem::directory_iterator(
           std::filesystem::path(ZIBROLT_SOURCE_DIR) / "tools" / "demo"))
    if (entry.path().extension() == ".sql") sql += ReadFile(entry.path()) + "\n";
  Installation inst(sql);
  for (const char* function : {"IDSTAMM", "MGDNL17P", "MGDNL18P", "MGDNL31P", "MGDNL60P"})
    for (const char* terminal : {"ZE-HAUPTEINGANG", "ZE-KANTINE", "ZU-LAGER", "ZE-ALT"})
      ExpectSameRunOnBothBackends(inst, function, terminal);
}

TEST(OdbcRun, FailingStatementAbortsAndKeepsTheFile) {
  Installation inst(
      "INSERT INTO Kvd1140Trm VALUES ('T1','M','S',1,1,1,1);"
      "INSERT INTO Kvd301Asw (AswNum, AswGvo, ASWMND, ASWLIZ) VALUES ('1', '2000-01-01', 1, 1);"
      "INSERT INTO Kvd113Awv VALUES ('1', 12, 1, 1);");
  RunResult before = inst.Generate("IDSTAMM", "T1");
  ASSERT_EQ(before.exitStatus, 0) << before.output;
  EXPECT_BYTES(kConnected + "Ausweise gesamt: 1 davon in Datei gestellt: 0\n", before.output);

  // The badge list's statement can no longer be prepared.
  inst.Sql("DROP TABLE Kvd113Awv;");
  inst.WriteOut("old");
  RunResult r = inst.Generate("IDSTAMM", "T1");
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_BYTES(kConnected +
                   "Ausweisliste nicht lesbar! SQLCode:-1\n"
                   "Ausweise gesamt: 0 davon in Datei gestellt: 0\n"
                   "Programmabbruch: Fehler bei Erstellung der Datei IDSTAMM!\n",
               r.output);
  EXPECT_EQ(inst.ReadOut(), "old");
  if (OdbcAvailable()) ExpectSameRunOnBothBackends(inst, "IDSTAMM", "T1");
}

}  // namespace
}  // namespace zibrolt::test
