// How each download function's badge list ends, in one table: an empty list is success with an
// empty file; a list that cannot be opened, or that fails after some badges, fails the run with
// the lines the function has always printed for it, and the old file stays as it was.
#include <gtest/gtest.h>

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
  std::string failed;    // a line the run prints when the list fails after some badges
};

const Case kCases[] = {
    {"MGDNL17P", kNone, kNone + "FehlerCode EndWorkMgDnl17P: -1\n" + Abort("MGDNL17P"),
     "FehlerCode EndWorkMgDnl17P: -1\n"},
    {"MGDNL18P", kNone, "Ausweisliste nicht lesbar! SQLCode:-1\n" + kNone + Abort("MGDNL18P"),
     "Ausweisliste nicht lesbar! SQLCode:-1\n"},
    {"MGDNL31P", "Ausweiscursor lesen: RC: 1403 \n" + kNone,
     "Ausweiscursor oeffnen: RC: -1 \nAusweiscursor lesen: RC: -1 \n" + kNone + Abort("MGDNL31P"),
     "RC: -1 \n"},
    {"MGDNL60P", kNone, "Ausweisliste nicht lesbar! SQLCode:-1\n" + kNone + Abort("MGDNL60P"),
     "Ausweisliste nicht lesbar! SQLCode:-1\n"},
    {"IDSTAMM", kNone, "Ausweisliste nicht lesbar! SQLCode:-1\n" + kNone + Abort("IDSTAMM"),
     "Ausweisliste nicht lesbar! SQLCode:-1\n"},
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

}  // namespace
}  // namespace zibrolt::test
