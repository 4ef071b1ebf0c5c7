// The MGDNL31P access file, run as a whole: 48-character records worked out by hand from the
// record layout, standard output byte for byte, exit status and the fate of the old file.
#include <gtest/gtest.h>

#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

const std::string kAbort = "Programmabbruch: Fehler bei Erstellung der Datei MGDNL31P!\n";

// One record from its pieces, each already as wide as its field: badge (13), valid from (8),
// valid to (8), time and access flag (2), class (3), location (3).
std::string Record(const std::string& badge, const std::string& from, const std::string& to,
                   const std::string& flags, const std::string& cls, const std::string& loc) {
  std::string r = badge + from + to + flags + "XXXX,XX-" + "001" + cls + loc;
  EXPECT_EQ(r.size(), 48u) << r;
  return r;
}

// Columns of Kvd301Asw: AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAan, AswAtp, AswSal,
// AswBk2, AswSpr, AswPin, ASWMND, ASWLIZ, AswSta.
const char* const kBadges = R"sql(
INSERT INTO Kvd1140Trm VALUES ('T1', '7744-010', 'TSAL', 1, 1, 1, 1);
INSERT INTO MGSST35P VALUES ('T1', 'Z', '1'), ('T1', '10', '0'), ('T1', '20', '0'),
  ('T1', '5', '0'), ('T1', 'A1', '0'), ('T1', 'LANG1', '0'), ('T1', 'LONG', '0');
INSERT INTO Kvd113Sto VALUES (12, 'B' || char(252) || 'ro Nord', 1), (13, 'EG', NULL),
  (14, NULL, 1), (15, 'Alt', 8);
INSERT INTO Kvd301Asw VALUES
  ('1001', date('now','localtime','-10 days'), date('now','localtime','+10 days'),
   'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('1002', date('now','localtime','-10 days'), NULL,
   'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('1003', NULL, date('now','localtime','+5 days'),
   'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('1004', date('now','localtime','-5 days'), NULL,
   'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('1004', date('now','localtime','-30 days'), date('now','localtime','+30 days'),
   'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('1005', date('now','localtime','-3 days'), NULL,
   'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('1006', date('now','localtime','-3 days'), NULL,
   'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('1234567890123', date('now','localtime','-1 days'), date('now','localtime','+1 days'),
   'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('12345678901234', date('now','localtime','-1 days'), NULL,
   'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1);
INSERT INTO Kvd113Awv VALUES ('1001', 12, 1, 1), ('1002', 12, 1, 1), ('1003', 13, 1, 1),
  ('1004', 14, 1, 1), ('1005', NULL, 1, 1), ('1006', 12, 1, 1), ('1234567890123', 15, 1, 1),
  ('12345678901234', 12, 1, 1);
INSERT INTO Kvd301Awb VALUES ('1001', 'Z'), ('1001', '10'), ('1001', '20'), ('1001', '5'),
  ('1002', 'Z'), ('1003', 'A1'), ('1004', '10'), ('1005', 'LANG1'), ('1005', '10'),
  ('1006', 'LONG'), ('1234567890123', '20'), ('12345678901234', '20');
)sql";

std::string ExpectedRecords() {
  const std::string none = "00000000";
  std::string f;
  // Three classes, highest first; the location's first three characters.
  for (const char* cls : {"5  ", "20 ", "10 "})
    f += Record("1001         ", ListDate(-10), ListDate(10), "11", cls, "B\xFCr");
  // No first day; a two-character location.
  f += Record("1003         ", none, ListDate(5), "01", "A1 ", "EG ");
  // Two validity rows, earlier first day first; a location without short text.
  f += Record("1004         ", ListDate(-30), ListDate(30), "01", "10 ", "   ");
  f += Record("1004         ", ListDate(-5), none, "01", "10 ", "   ");
  // The class that does not fit is left out, the other one written; no location.
  f += Record("1005         ", ListDate(-3), none, "01", "10 ", "   ");
  // The widest badge number; its location is withdrawn.
  f += Record("1234567890123", ListDate(-1), ListDate(1), "01", "20 ", "   ");
  return f;
}

const std::string kLeftOut =
    "Ausweis 1005: Zutrittsklasse LANG1 nicht in Datei gestellt: laenger als 3 Zeichen\n"
    "Ausweis 1006: Zutrittsklasse LONG nicht in Datei gestellt: laenger als 3 Zeichen\n"
    "Ausweis 12345678901234 nicht in Datei gestellt: Ausweisnummer laenger als 13 Zeichen\n";

TEST(MgDnl31P, RecordsPerClassAndTheBadgesThatDoNotFit) {
  Installation inst(kBadges);
  inst.WriteOut("old content");
  RunResult r = inst.Generate("MGDNL31P", "T1");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected + kLeftOut +
                   "Ausweiscursor lesen: Ausweis Nr. 9 RC: 1403 \n"
                   "Ausweise gesamt: 9 davon in Datei gestellt: 6\n",
               r.output);
  EXPECT_BYTES(ExpectedRecords(), inst.ReadOut());
}

TEST(MgDnl31P, VerboseShowsTheChecksAndTheBadgeWithoutAccess) {
  Installation inst(kBadges);
  RunResult r = inst.Generate("mgdnl31p", "T1", "out.dnl", "1", {"/d"});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected +
                   "Aws: 1001 Zeitberechtigung: 1\n"
                   "Aws: 1002 Zeitberechtigung: 1\n"
                   "Ausweis 1002 ohne Zutrittsberechtigung auf Terminal T1\n"
                   "Aws: 1003 Zeitberechtigung: 0\n"
                   "Aws: 1004 Zeitberechtigung: 0\n"
                   "Aws: 1004 Zeitberechtigung: 0\n"
                   "Aws: 1005 Zeitberechtigung: 0\n"
                   "Ausweis 1005: Zutrittsklasse LANG1 nicht in Datei gestellt: laenger als 3 "
                   "Zeichen\n"
                   "Aws: 1006 Zeitberechtigung: 0\n"
                   "Ausweis 1006: Zutrittsklasse LONG nicht in Datei gestellt: laenger als 3 "
                   "Zeichen\n"
                   "Aws: 1234567890123 Zeitberechtigung: 0\n"
                   "Aws: 12345678901234 Zeitberechtigung: 0\n"
                   "Ausweis 12345678901234 nicht in Datei gestellt: Ausweisnummer laenger als 13 "
                   "Zeichen\n"
                   "Ausweiscursor lesen: Ausweis Nr. 9 RC: 1403 \n"
                   "Ausweise gesamt: 9 davon in Datei gestellt: 6\n",
               r.output);
  EXPECT_BYTES(ExpectedRecords(), inst.ReadOut());
}

TEST(MgDnl31P, AppendPutsTheRecordsAfterTheOldOnes) {
  Installation inst(kBadges);
  const std::string old = Record("0999         ", "20200101", "00000000", "11", "1  ", "   ");
  inst.WriteOut(old);
  RunResult r = inst.Generate("MGDNL31P", "T1", "out.dnl", "0");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(old + ExpectedRecords(), inst.ReadOut());
}

// Which classes a badge holds is the database's join M35Bkl=AWBBKL. Classes match as the
// database holds them, never by their Windows-1252 bytes ('?' for a letter without a byte, 0x80
// for both U+0080 and the euro sign); where the catalog does not prove a byte-for-byte
// comparison, the database joins badge by badge and decides as it always has.
struct JoinCase {
  const char* name;
  const char* sql;      // tables (when not the schema's) and the classes
  const char* classes;  // expected record classes, 3 characters each, highest first
  const char* flags;    // time and access flag
};

const JoinCase kJoinCases[] = {
    {"letters that share a byte are different classes",
     "INSERT INTO MGSST35P VALUES ('T1', 'A' || char(955), '0'), ('T1', 'Z' || char(955), '1'),"
     " ('T1', 'B', '0');"
     "INSERT INTO Kvd301Awb VALUES ('2001', 'A' || char(956)), ('2001', 'Z' || char(956)),"
     " ('2001', 'B');",
     "B  ", "01"},
    {"the same letter is the same class",
     "INSERT INTO MGSST35P VALUES ('T1', 'A' || char(955), '0'), ('T1', 'Z' || char(955), '1');"
     "INSERT INTO Kvd301Awb VALUES ('2001', 'A' || char(955)), ('2001', 'Z' || char(955));",
     "A? ", "11"},
    {"a control character keeps its byte but is not the euro sign",
     "INSERT INTO MGSST35P VALUES ('T1', 'C' || char(128), '0'), ('T1', 'E' || char(8364), '0');"
     "INSERT INTO Kvd301Awb VALUES ('2001', 'C' || char(128)), ('2001', 'E' || char(128));",
     "C\x80 ", "01"},
    {"a class column of numbers compares numbers",
     "DROP TABLE Kvd301Awb;"
     "CREATE TABLE Kvd301Awb (AWBASW TEXT NOT NULL, AWBBKL INTEGER NOT NULL);"
     "INSERT INTO MGSST35P VALUES ('T1', '010', '0'), ('T1', '07', '1');"
     "INSERT INTO Kvd301Awb VALUES ('2001', 10), ('2001', 7);",
     "010", "11"},
    {"a collation of its own decides",
     "DROP TABLE MGSST35P;"
     "CREATE TABLE MGSST35P (M35Trm TEXT NOT NULL, M35Bkl TEXT COLLATE NOCASE NOT NULL,"
     " M35Bch TEXT NOT NULL);"
     "INSERT INTO MGSST35P VALUES ('T1', 'ab', '0'), ('T1', 'A' || char(955), '0');"
     "INSERT INTO Kvd301Awb VALUES ('2001', 'AB'), ('2001', 'A' || char(956));",
     "ab ", "01"},
    {"badge by badge the database gives what the program would",
     "DROP TABLE MGSST35P;"
     "CREATE TABLE MGSST35P (M35Trm TEXT NOT NULL, M35Bkl TEXT COLLATE BINARY NOT NULL,"
     " M35Bch TEXT NOT NULL);"
     "INSERT INTO MGSST35P VALUES ('T1', 'A' || char(955), '0'), ('T1', 'A' || char(956), '0'),"
     " ('T1', 'C' || char(128), '1'), ('T1', 'B', '0');"
     "INSERT INTO Kvd301Awb VALUES ('2001', 'A' || char(956)), ('2001', 'C' || char(8364)),"
     " ('2001', 'B');",
     "B  A? ", "01"},
};

TEST(MgDnl31P, ClassesMatchAsTheDatabaseHoldsThem) {
  for (const JoinCase& c : kJoinCases) {
    SCOPED_TRACE(c.name);
    Installation inst(std::string(R"sql(
INSERT INTO Kvd1140Trm VALUES ('T1', '7744-010', 'TSAL', 1, 1, 1, 1);
INSERT INTO Kvd301Asw VALUES ('2001', date('now','localtime','-1 days'), NULL,
  'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1);
INSERT INTO Kvd113Awv VALUES ('2001', NULL, 1, 1);
)sql") + c.sql);
    const RunResult r = inst.Generate("MGDNL31P", "T1");
    EXPECT_EQ(r.exitStatus, 0) << r.output;
    std::string expected;
    for (std::string_view cls = c.classes; !cls.empty(); cls.remove_prefix(3))
      expected += Record("2001         ", ListDate(-1), "00000000", c.flags,
                         std::string(cls.substr(0, 3)), "   ");
    EXPECT_BYTES(expected, inst.ReadOut());
  }
}

// Badge numbers that share their Windows-1252 bytes ('?' for a Greek letter, 0x80 for U+0080
// and the euro sign) are different badges: each gets its own classes and location, and a badge
// whose number really is "N?" keeps its own. Control characters U+0080..U+009F come out as
// their bytes.
TEST(MgDnl31P, BadgesWhoseNumbersShareTheirBytesKeepTheirOwnRows) {
  Installation inst(R"sql(
INSERT INTO Kvd1140Trm VALUES ('T1', '7744-010', 'TSAL', 1, 1, 1, 1);
INSERT INTO MGSST35P VALUES ('T1', '10', '0'), ('T1', '20', '0'), ('T1', '30', '0'),
  ('T1', '40', '0'), ('T1', '50', '0');
INSERT INTO Kvd113Sto VALUES (1, 'L' || char(955), 1), (2, 'L' || char(956), 1), (3, 'L?', 1),
  (4, 'C' || char(150) || 'x', 1), (5, 'E', 1);
CREATE TEMP TABLE b AS SELECT column1 n, column2 sto, column3 cls FROM (VALUES
  ('N' || char(955), 1, '10'), ('N' || char(956), 2, '20'), ('N?', 3, '30'),
  ('C' || char(128), 4, '40'), ('C' || char(8364), 5, '50'));
INSERT INTO Kvd301Asw SELECT n, date('now','localtime','-1 days'), NULL,
  'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1 FROM b;
INSERT INTO Kvd113Awv SELECT n, sto, 1, 1 FROM b;
INSERT INTO Kvd301Awb SELECT n, cls FROM b;
)sql");
  const RunResult r = inst.Generate("MGDNL31P", "T1");
  EXPECT_EQ(r.exitStatus, 0) << r.output;
  const std::string from = ListDate(-1), none = "00000000";
  // In the database's order of the numbers: "C" U+0080, "C" euro, "N?", "N" lambda, "N" mu.
  EXPECT_BYTES(Record("C\x80           ", from, none, "01", "40 ", "C\x96x") +
                   Record("C\x80           ", from, none, "01", "50 ", "E  ") +
                   Record("N?           ", from, none, "01", "30 ", "L? ") +
                   Record("N?           ", from, none, "01", "10 ", "L? ") +
                   Record("N?           ", from, none, "01", "20 ", "L? "),
               inst.ReadOut());
}

}  // namespace
}  // namespace zibrolt::test
