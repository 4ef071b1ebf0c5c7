// Whole runs against a data source that misbehaves as Oracle's driver and server can: the last
// rowset arriving with SQL_NO_DATA, no row arrays, Oracle's errors 942, 1555 and 3113 and driver
// errors without an Oracle number at chosen statements or rows, a refused autocommit switch, and
// the types text is bound with. A test driver in front of the SQLite ODBC driver plays the part,
// so these run in the ODBC pass only.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

#define REQUIRE_SHIM()                 \
  if (!OdbcMode() || !ShimAvailable()) \
  GTEST_SKIP() << "runs through the misbehaving test driver, in the ODBC pass only"

// Terminal T1 with readers, classes, a display set of date, balance and information text, and
// `count` badges, each with a location, a class and a balance row.
std::string Rows(int count) {
  return R"sql(
INSERT INTO Kvd1140Trm VALUES ('T1', '7744-010', 'TS', 1, 1, 1, 1);
INSERT INTO Kvd115Tfz VALUES ('T1', 1, 1, 1);
INSERT INTO Kvd401Zls VALUES ('T1', 1, 'Z', 1), ('T1', 2, 'Z', 1);
INSERT INTO MGSST35P VALUES ('T1', 'Z', '1'), ('T1', '10', '0');
INSERT INTO Kvd113Sto VALUES (12, 'Nord', 1);
INSERT INTO Kvd102Whl VALUES (220001, 1, 1, 'Datum', NULL), (220001, 2, 1, 'Saldo', NULL),
  (220002, 1, 1, NULL, '#W1'), (220002, 2, 1, NULL, '#W2');
INSERT INTO Kvd119Msd VALUES ('TS', 1, NULL, NULL, 1, 1, 'ADMIN', 1, 1, 1),
  ('TS', 2, NULL, NULL, 1, 1, 'ADMIN', 2, 2, 1);
CREATE TEMP TABLE n AS WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s
  WHERE i < )sql" +
         std::to_string(count) + R"sql() SELECT 'B' || (1000 + i) AS b, i FROM s;
INSERT INTO Kvd301Asw SELECT b, date('now', 'localtime', '-10 days'), NULL, 'P' || i, 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL,
  1, 1, 1 FROM n;
INSERT INTO Kvd113Awv SELECT b, 12, 1, 1 FROM n;
INSERT INTO Kvd301Awb SELECT b, '10' FROM n UNION ALL SELECT b, 'Z' FROM n;
INSERT INTO O2002TSW (TSWIDN, TswW01, TswW02) SELECT b, 'X', '+   ' || i || ',00' FROM n;
)sql";
}

// ODBC's type codes, as the log shows them.
constexpr int kCWideChar = -8, kCLong = -16, kSqlChar = 1, kSqlInteger = 4;

constexpr const char* kFunctions[] = {"IDSTAMM", "MGDNL17P", "MGDNL18P", "MGDNL31P", "MGDNL60P"};

RunResult RunThrough(Installation& inst, const std::string& net,
                     const std::vector<std::string>& environment, const char* function) {
  Login login;
  login.net = net;
  inst.WriteSettings(login);
  inst.SetRunEnvironment(environment);
  inst.WriteOut("old");
  return inst.Generate(function, "T1");
}

// Drivers that place rowsets their own way: the last one arriving with SQL_NO_DATA, or no row
// arrays at all (the size refused, or replaced by 1 with a warning).
TEST(OdbcShim, PartialLastRowsetOrNoRowArraysLoseNoRow) {
  REQUIRE_SHIM();
  // The badge cursor fetches about 600 rows at a time, the lookups ask for 1,000 badges; a row
  // lost without row arrays shows with any two rows.
  const std::vector<const char*> kAll = {"ZIBROLT_SHIM_PARTIAL_LAST=1",
                                         "ZIBROLT_SHIM_ROW_ARRAYS=refuse",
                                         "ZIBROLT_SHIM_ROW_ARRAYS=one"};
  // Under the sanitizers one function walks the rowset code the five share, at a tenth of the
  // time; the plain build's pass compares all five.
  const std::vector<const char*> functions =
      kUnderSanitizers ? std::vector<const char*>{"MGDNL17P"}
                       : std::vector<const char*>(std::begin(kFunctions), std::end(kFunctions));
  for (const auto& [count, quirks] :
       {std::pair{70, kAll}, {1300, std::vector<const char*>{kAll.front()}}}) {
    Installation inst(Rows(count));
    for (const char* function : functions) {
      const RunResult plain = RunThrough(inst, OdbcDataSource(), {}, function);
      const std::string expected = inst.ReadOut();
      EXPECT_EQ(plain.exitStatus, 0) << plain.output;
      EXPECT_NE(plain.output.find("Ausweise gesamt: " + std::to_string(count) + " "),
                std::string::npos)
          << plain.output;
      for (const char* quirk : quirks) {
        SCOPED_TRACE(std::string(function) + " with " + std::to_string(count) + " badges, " +
                     quirk);
        const RunResult shim = RunThrough(inst, ShimDataSource(), {quirk}, function);
        EXPECT_EQ(shim.exitStatus, 0);
        EXPECT_BYTES(plain.output, shim.output);
        EXPECT_BYTES(expected, inst.ReadOut());
      }
    }
  }
}

struct FaultCase {
  const char* function;
  const char* fault;  // ZIBROLT_SHIM_FAULT
  const char* line;   // expected in the output
};

// Enough badges for a second window of lookups and a second row array of each statement.
void ExpectFailedRuns(const std::vector<FaultCase>& cases) {
  Installation inst(Rows(2500));
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(std::string(c.function) + " " + c.fault);
    const RunResult r = RunThrough(inst, ShimDataSource(),
                                   {std::string("ZIBROLT_SHIM_FAULT=") + c.fault}, c.function);
    EXPECT_EQ(r.exitStatus, 255) << r.output;
    EXPECT_NE(r.output.find(c.line), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("-12154"), std::string::npos) << r.output;
    EXPECT_EQ(inst.ReadOut(), "old");
    EXPECT_EQ(inst.OutFolderEntries(), std::vector<std::string>{"out.dnl"});
  }
}

TEST(OdbcShim, OracleErrorsInTheTerminalAndChecksFailTheRun) {
  REQUIRE_SHIM();
  ExpectFailedRuns({
      {"IDSTAMM", "execute,1,942,KVD1140TRM", "SQLCode:-942\n"},
      {"MGDNL31P", "fetch,1,3113,KVD115TFZ", "SQLCode:-3113\n"},
      {"MGDNL17P", "execute,1,942,MGSST35P", "SQLCode:-942\n"},
      {"MGDNL31P", "fetch,2,3113,KVD301AWB", "SQLCode:-3113\n"},
      {"MGDNL60P", "execute,1,1555,KVD401ZLS", "SQLCode:-1555\n"},
  });
}

TEST(OdbcShim, OracleErrorsInTheBadgeListFailTheRun) {
  REQUIRE_SHIM();
  ExpectFailedRuns({
      {"IDSTAMM", "execute,1,942,KVD301ASW", "SQLCode:-942\n"},
      {"MGDNL18P", "fetch,2,1555,KVD301ASW", "SQLCode:-1555\n"},
      {"MGDNL60P", "fetch,3,3113,KVD301ASW", "SQLCode:-3113\n"},
  });
}

TEST(OdbcShim, OracleErrorsInTheLookupsFailTheRun) {
  REQUIRE_SHIM();
  ExpectFailedRuns({
      {"MGDNL17P", "execute,1,942,O2002TSW", "SQLCode:-942\n"},
      {"MGDNL60P", "fetch,2,3113,O2002TSW", "SQLCode:-3113\n"},
      {"MGDNL18P", "execute,2,1555,O2002TSW", "SQLCode:-1555\n"},
      {"MGDNL17P", "fetch,1,1555,KVD113STO", "SQLCode:-1555\n"},
      {"MGDNL31P", "execute,2,3113,KVD113STO", "SQLCode:-3113\n"},
      {"MGDNL18P", "execute,1,942,KVD119MSD", "SQLCode:-942\n"},
      {"MGDNL18P", "fetch,1,3113,KVD102WHL", "SQLCode:-3113\n"},
      {"MGDNL18P", "execute,1,22003,KVD119MSD", "SQLSTATE 22003\n"},
  });
}

// A row flagged SQL_ROW_ERROR inside a rowset: the rows before it may have been written, the
// run fails all the same and the old file stays.
TEST(OdbcShim, RowFlaggedWithAnErrorInsideARowsetFailsTheRun) {
  REQUIRE_SHIM();
  ExpectFailedRuns({
      {"IDSTAMM", "row,5,1555,KVD301ASW", "SQLCode:-1555\n"},
      {"MGDNL17P", "row,700,22003,KVD301ASW", "SQLSTATE 22003\n"},
      {"MGDNL60P", "row,1,3113,KVD301ASW", "SQLCode:-3113\n"},
      {"MGDNL18P", "row,1200,1555,O2002TSW", "SQLCode:-1555\n"},
      {"MGDNL31P", "row,3,3113,KVD301AWB", "SQLCode:-3113\n"},
  });
}

// Nothing but the status says "not a connect problem"; the SQLSTATE line says what it was.
TEST(OdbcShim, DriverErrorWithoutOracleNumberNamesItsSqlstate) {
  REQUIRE_SHIM();
  ExpectFailedRuns({
      {"IDSTAMM", "execute,1,HYT00,KVD1140TRM",
       "ODBC-Fehler ohne Oracle-Fehlernummer, SQLSTATE HYT00\nTerminal T1 konnte nicht gelesen "
       "werden! SQLCode:-100001\n"},
      {"MGDNL17P", "fetch,2,HYT00,KVD301ASW", "SQLSTATE HYT00\n"},
      {"MGDNL31P", "execute,2,22003,KVD301AWB", "SQLCode:-100001\n"},
  });
}

// A failure shows its own SQLSTATE and never an earlier one's: zibrolt-check reads on after a
// table fails, here first with a driver error without a number, then with Oracle's 942.
TEST(OdbcShim, EachFailureShowsOnlyItsOwnSqlstate) {
  REQUIRE_SHIM();
  Installation inst(Rows(1));
  Login login;
  login.net = ShimDataSource();
  inst.WriteSettings(login);
  inst.SetRunEnvironment(
      {"ZIBROLT_SHIM_FAULT=execute,1,HYT00,KVD1140TRM WHERE 1=0;"
       "execute,1,942,KVD119MSD WHERE 1=0"});
  const RunResult r = inst.RunCommand("'" ZIBROLT_CHECK_BIN "' 2>/dev/null");
  EXPECT_EQ(r.exitStatus, 1);
  for (const char* line : {"FAIL  Tabelle KVD1140TRM nicht lesbar, SQLCode -100001 "
                           "(Treiberfehler ohne Oracle-Fehlernummer), SQLSTATE HYT00\n",
                           "FAIL  Tabelle KVD119MSD nicht lesbar, SQLCode -942 (Tabelle oder "
                           "Sicht fehlt oder ist nicht freigegeben)\n"})
    EXPECT_NE(r.output.find(line), std::string::npos) << line << "--- in:\n" << r.output;
}

TEST(OdbcShim, RefusedAutocommitSwitchFailsTheConnect) {
  REQUIRE_SHIM();
  Installation inst(Rows(1));
  const RunResult r =
      RunThrough(inst, ShimDataSource(), {"ZIBROLT_SHIM_FAIL_AUTOCOMMIT=1"}, "IDSTAMM");
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_NE(r.output.find("SQLSTATE HYC00\nDB-Connect-Error: -100001!"), std::string::npos)
      << r.output;
  EXPECT_EQ(inst.ReadOut(), "old");
}

// Oracle compares blank-padded only when both sides are CHAR: a CHAR(n) key column matches a
// text bound as SQL_CHAR, never one bound as SQL_VARCHAR. Every text the program binds is a
// terminal name or a badge number compared with a key column.
TEST(OdbcShim, TextIsBoundWithCharSemantics) {
  REQUIRE_SHIM();
  Installation inst(Rows(3));
  const std::string log = (inst.root() / "binds.log").string();
  for (const char* function : kFunctions)
    EXPECT_EQ(
        RunThrough(inst, ShimDataSource(), {"ZIBROLT_SHIM_BIND_LOG=" + log}, function).exitStatus,
        0);
  std::istringstream lines(ReadFile(log));
  std::string line;
  int texts = 0;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    int param, cType, sqlType;
    long columnSize, bufferLength;
    ASSERT_TRUE(fields >> param >> cType >> sqlType >> columnSize >> bufferLength) << line;
    if (cType == kCLong) {
      EXPECT_EQ(sqlType, kSqlInteger) << line;
      continue;
    }
    ++texts;
    EXPECT_EQ(cType, kCWideChar) << line;
    EXPECT_EQ(sqlType, kSqlChar) << line;
    EXPECT_EQ(columnSize, 256) << "one size for every value: " << line;
    EXPECT_EQ(bufferLength, 512) << "the buffer's capacity, the same for every value: " << line;
  }
  EXPECT_GT(texts, 10);
}

// What the server answers to the bind probe, as ZIBROLT_SHIM_ANSWERS rules: the DUMP of the
// bound "Z" a-umlaut and whether "ZB" compared equal with CHAR(4) 'ZB', alone and through a
// window's keys list (rows 0 and 1), and the key columns' declared type.
std::string ProbeAnswer(const std::string& single, const std::string& window, bool padded,
                        bool windowPadded) {
  return "DUMP(?=>select '" + single + "' ," + (padded ? "1" : "0") + "\nDUMP(KEYS.K=>select 0 ,'" +
         window + "' ,0 union all select 1 ,'x' ," + (windowPadded ? "1" : "0");
}
const std::string kCharKeys = "\nELSE 'VARCHAR2'=>select 'CHAR' ,10 ,10 ,'C'";
const std::string kCharBind = "Typ=96 Len=3 CharacterSet=AL32UTF8: 5a,c3,a4";
const std::string kVarcharBind = "Typ=1 Len=3 CharacterSet=AL32UTF8: 5a,c3,a4";

std::string PaddedBind() {
  std::string dump = "Typ=96 Len=257 CharacterSet=AL32UTF8: 5a,c3,a4";
  for (int i = 0; i < 254; ++i) dump += ",20";
  return dump;
}

// Each way a driver can hand over bound text, against VARCHAR2 key columns (the SQLite
// installation's, as SQLite compares them) and CHAR(10) ones: zibrolt stops before the file
// and zibrolt-check says FAIL exactly where the keys would not compare as the lookups need.
TEST(OdbcShim, BindProbeDecidesBeforeAnyFile) {
  REQUIRE_SHIM();
  struct Case {
    const char* name;
    std::string answer;   // the rules; empty: SQLite's own answer (VARCHAR2)
    const char* problem;  // in both tools' lines; null: the binds fit
  };
  const std::string padded = PaddedBind();
  const Case cases[] = {
      {"VARCHAR2 binds, VARCHAR2 keys", "", nullptr},
      {"VARCHAR2 binds, CHAR keys", kCharKeys, "KVD1140TRM.TRMNAM ist CHAR(10), der Text kommt"},
      {"CHAR binds, VARCHAR2 keys", ProbeAnswer(kCharBind, kCharBind, true, true), nullptr},
      {"CHAR binds, CHAR keys", ProbeAnswer(kCharBind, kCharBind, true, true) + kCharKeys, nullptr},
      {"CHAR binds, VARCHAR2 in the window, CHAR keys",
       ProbeAnswer(kCharBind, kVarcharBind, true, false) + kCharKeys, "ist CHAR(10)"},
      {"padded binds, VARCHAR2 keys", ProbeAnswer(padded, padded, true, true),
       "KVD1140TRM.TRMNAM ist VARCHAR2, der Text kommt aber aufgefuellt an"},
      {"padded binds, CHAR keys", ProbeAnswer(padded, padded, true, true) + kCharKeys, nullptr},
      {"national binds",
       ProbeAnswer("Typ=1 Len=4 CharacterSet=AL16UTF16: 0,5a,0,e4",
                   "Typ=1 Len=4 CharacterSet=AL16UTF16: 0,5a,0,e4", false, false),
       "nationalen Zeichensatz"},
  };
  Installation inst(Rows(1));
  const std::filesystem::path answers = inst.root() / "answers.txt";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(answers, c.answer);
    const RunResult run =
        RunThrough(inst, ShimDataSource(), {"ZIBROLT_SHIM_ANSWERS=" + answers.string()}, "IDSTAMM");
    // Under the sanitizers zibrolt-check, a few seconds there, runs for the first two cases
    // only (one that fits, one that fails): its verdicts are the probe's, which zibrolt runs
    // for every case.
    const bool checked = !kUnderSanitizers || &c - cases < 2;
    const RunResult check =
        checked ? inst.RunCommand("'" ZIBROLT_CHECK_BIN "' 2>/dev/null") : RunResult{};
    if (!c.problem) {
      EXPECT_EQ(run.exitStatus, 0) << run.output;
      if (checked) {
        EXPECT_NE(check.output.find("OK    Bindung von Text: "), std::string::npos) << check.output;
      }
      continue;
    }
    EXPECT_EQ(run.exitStatus, 255);
    EXPECT_NE(run.output.find("Gebundene Werte passen nicht zu den Schluesselspalten: "),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find(c.problem), std::string::npos) << run.output;
    EXPECT_EQ(inst.ReadOut(), "old");
    if (!checked) continue;
    EXPECT_EQ(check.exitStatus, 1);
    const std::size_t line = check.output.find("FAIL  Bindung von Text: ");
    ASSERT_NE(line, std::string::npos) << check.output;
    const std::string failLine = check.output.substr(line, check.output.find('\n', line) - line);
    EXPECT_NE(failLine.find(c.problem), std::string::npos) << failLine;
    EXPECT_NE(failLine.find("; zu aendern: "), std::string::npos) << failLine;
  }
}

}  // namespace
}  // namespace zibrolt::test
