// How each download function's badge list ends, in one table: an empty list is success with an
// empty file; a list that cannot be opened, or that fails after some badges, fails the run with
// the lines the function has always printed for it, and the old file stays as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

const char* const kTerminal = "INSERT INTO Kvd1140Trm VALUES ('T1', '7744-010', NULL, 1, 1, 1, 1);";

// Badges 2001 and 2002 may book time and pass with class 10; 2003's first day is no date, so
// reading it fails.
const char* const kBadRow = R"sql(
INSERT INTO MGSST35P VALUES ('T1', 'Z', '1'), ('T1', '10', '0');
INSERT INTO Kvd301Asw VALUES
  ('2001', date('now','localtime','-1 days'), NULL, 'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('2002', date('now','localtime','-1 days'), NULL, 'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('2003', '2020-13-01', NULL, 'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1);
INSERT INTO Kvd113Awv VALUES ('2001', NULL, 1, 1), ('2002', NULL, 1, 1), ('2003', NULL, 1, 1);
INSERT INTO Kvd301Awb VALUES ('2001', 'Z'), ('2001', '10'), ('2002', 'Z'), ('2002', '10'),
  ('2003', 'Z');
)sql";

std::string Abort(const std::string& function) {
  return "Programmabbruch: Fehler bei Erstellung der Datei " + function + "!\n";
}
const std::string kNone = "Ausweise gesamt: 0 davon in Datei gestellt: 0\n";

struct Case {
  const char* function;
  std::string empty;     // the lines of an empty list, after the connect line
  std::string unopened;  // the lines of a list that cannot be opened
  std::string failed;    // a line the run prints when the list fails after some badges (at a
                         // date that is no date: SQLite's "datatype mismatch")
};

const Case kCases[] = {
    {"MGDNL17P", kNone, kNone + "FehlerCode EndWorkMgDnl17P: -1\n" + Abort("MGDNL17P"),
     "FehlerCode EndWorkMgDnl17P: -20\n"},
    {"MGDNL18P", kNone, "Ausweisliste nicht lesbar! SQLCode:-1\n" + kNone + Abort("MGDNL18P"),
     "Ausweisliste nicht lesbar! SQLCode:-20\n"},
    {"MGDNL31P", "Ausweiscursor lesen: RC: 1403 \n" + kNone,
     "Ausweiscursor oeffnen: RC: -1 \nAusweiscursor lesen: RC: -1 \n" + kNone + Abort("MGDNL31P"),
     "RC: -20 \n"},
    {"MGDNL60P", kNone, "Ausweisliste nicht lesbar! SQLCode:-1\n" + kNone + Abort("MGDNL60P"),
     "Ausweisliste nicht lesbar! SQLCode:-20\n"},
    {"IDSTAMM", kNone, "Ausweisliste nicht lesbar! SQLCode:-1\n" + kNone + Abort("IDSTAMM"),
     "Ausweisliste nicht lesbar! SQLCode:-20\n"},
};

TEST(BadgeListEnds, EmptyListIsSuccessWithAnEmptyFile) {
  Installation inst(kTerminal);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.function);
    inst.WriteOut("old");
    const RunResult r = inst.Generate(c.function, "T1");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_BYTES(kConnected + c.empty, r.output);
    EXPECT_EQ(inst.ReadOut(), "");
  }
}

TEST(BadgeListEnds, ListThatCannotBeReadFailsAndKeepsTheOldFile) {
  Installation unopened(kTerminal + std::string("DROP TABLE Kvd113Awv;"));
  Installation failing(kTerminal + std::string(kBadRow));
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.function);
    for (const char* mode : {"1", "0"}) {
      unopened.WriteOut("old");
      RunResult r = unopened.Generate(c.function, "T1", "out.dnl", mode);
      EXPECT_EQ(r.exitStatus, 255);
      EXPECT_BYTES(kConnected + c.unopened, r.output);
      EXPECT_EQ(unopened.ReadOut(), "old");

      // The SQLite ODBC driver reads a whole result when the cursor opens: there the error
      // comes at the open, as above.
      if (OdbcMode()) continue;
      failing.WriteOut("old");
      r = failing.Generate(c.function, "T1", "out.dnl", mode);
      EXPECT_EQ(r.exitStatus, 255);
      EXPECT_NE(r.output.find(c.failed), std::string::npos) << r.output;
      EXPECT_TRUE(r.output.ends_with(Abort(c.function))) << r.output;
      EXPECT_EQ(failing.ReadOut(), "old");
      EXPECT_EQ(failing.OutFolderEntries(), std::vector<std::string>{"out.dnl"});
    }
  }
}

// The embedded database keeps dates as text; a run takes them as Oracle would hold them. ''
// is no date at all (NULL: open-ended), anything else that is no calendar date stops the run
// with a line that names the badge and column, and the old file stays.
TEST(BadgeListEnds, EmbeddedDatesAsOracleHoldsThem) {
  struct DateCase {
    const char* gbi;  // AswGbi of badge 3001, as SQL
    bool written;     // the run succeeds and the file lists the badge
  };
  const DateCase cases[] = {
      {"NULL", true},           {"''", true},
      {"'2030-12-31'", true},   {"'2030-12-31 23:59:59'", true},
      {"'2028-02-29'", true},   {"'2030-02-30'", false},
      {"' 2030-12-31'", false}, {"'2030-12-31 '", false},
      {"'31.12.2030'", false},  {"'2030-12-31 24:00'", false},
      {"'2100-02-29'", false},
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(c.gbi);
    Installation inst(kTerminal + std::string(R"sql(
INSERT INTO MGSST35P VALUES ('T1', 'Z', '1'), ('T1', '10', '0');
INSERT INTO Kvd301Awb VALUES ('3001', 'Z'), ('3001', '10');
INSERT INTO Kvd113Awv VALUES ('3001', NULL, 1, 1);
INSERT INTO Kvd301Asw VALUES ('3001', date('now','localtime','-1 days'), )sql") +
                      c.gbi + ", 'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1);");
    inst.WriteOut("old");
    const RunResult r = inst.Generate("MGDNL31P", "T1");
    const std::string value = std::string(c.gbi).substr(1, std::strlen(c.gbi) - 2);
    if (c.written) {
      EXPECT_EQ(r.exitStatus, 0) << r.output;
      EXPECT_NE(inst.ReadOut().find("3001"), std::string::npos) << r.output;
      continue;
    }
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_NE(r.output.find("Ausweis 3001: AswGbi '" + value + "' ist kein Datum!\n"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(inst.ReadOut(), "old");
  }
}

}  // namespace
}  // namespace zibrolt::test
