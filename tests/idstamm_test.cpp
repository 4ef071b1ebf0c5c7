// The IDSTAMM badge master file, run as a whole: lines worked out by hand from the field list,
// standard output byte for byte, exit status and what happens to the old file.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

const std::string kAbort = "Programmabbruch: Fehler bei Erstellung der Datei IDSTAMM!\n";

// Columns of Kvd301Asw: AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAan, AswAtp, AswSal,
// AswBk2, AswSpr, AswPin, ASWMND, ASWLIZ, AswSta.
const char* const kBadges = R"sql(
INSERT INTO Kvd1140Trm VALUES ('T1', '7744-010', 'TSAL', 1, 1, 1, 1);
INSERT INTO MGSST35P VALUES ('T1', 'Z', '1'), ('T1', '10', '0'), ('T1', '20', '0'),
  ('T1', '5', '0'), ('T1', 'A1', '0'), ('T2', 'Y', '1'), ('T2', 'Y', '0');
INSERT INTO Kvd301Asw VALUES
  ('1001', date('now','localtime','-10 days'), date('now','localtime','+10 days'),
   'P1', 'Z', 'G', NULL, 3, NULL, NULL, 2, '0815', 1, 1, 1),
  ('1002', NULL, date('now','localtime','+5 days'),
   'P2', 'Z', 'G', NULL, NULL, 'OWN', NULL, NULL, NULL, 1, 1, NULL),
  ('1003', date('now','localtime','-1 days'), NULL,
   'P3', 'Y', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('1004', date('now','localtime','-5 days'), NULL,
   'P4', 'A', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('1004', date('now','localtime','-20 days'), date('now','localtime','+20 days'),
   'P4', 'B', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('1005', date('now','localtime','-1 days'), NULL,
   'P5', 'LANG1', 'G', NULL, 7, NULL, NULL, 1, NULL, 1, 1, 1);
INSERT INTO Kvd113Awv VALUES ('1001', 12, 1, 1), ('1002', NULL, NULL, NULL),
  ('1003', 4711, 1, 1), ('1004', 100000, 1, 1), ('1005', 4711, 1, 1);
INSERT INTO Kvd301Awb VALUES ('1001', 'Z'), ('1001', '10'), ('1001', '20'), ('1001', '5'),
  ('1001', '10'), ('1002', 'Z'), ('1003', 'Y'), ('1004', 'A1'), ('1005', 'Z');
)sql";

// The lines of kBadges on T1, CR LF ended as the terminal reads them.
std::string ExpectedLines() {
  const std::string from1001 = ListDate(-10), to1001 = ListDate(10);
  std::string lines;
  for (const char* cls : {"5  ", "20 ", "10 "})
    lines += "\"1001\",\"" + from1001 + "\",\"" + to1001 +
             "\",\"00012\",\"1\",\"1\",\"2\",\"TSAL\",\"001\",\"" + cls +
             "\",\"\",\"1001\",\"3\",\"0815\"\r\n";
  lines += "\"1002\",\"\",\"" + ListDate(5) +
           "\",\"\",\"1\",\"0\",\"1\",\"OWN\",\"001\",\"Z  \",\"\",\"1002\",\"0\",\"\"\r\n";
  lines += "\"1004\",\"" + ListDate(-20) + "\",\"" + ListDate(20) +
           "\",\"\",\"0\",\"1\",\"1\",\"TSAL\",\"001\",\"A1 \",\"\",\"1004\",\"1\",\"\"\r\n";
  lines += "\"1004\",\"" + ListDate(-5) +
           "\",\"\",\"\",\"0\",\"1\",\"1\",\"TSAL\",\"001\",\"A1 \",\"\",\"1004\",\"1\",\"\"\r\n";
  lines += "\"1005\",\"" + ListDate(-1) +
           "\",\"\",\"04711\",\"1\",\"0\",\"1\",\"TSAL\",\"001\",\"LANG1\",\"\",\"1005\",\"7\","
           "\"\"\r\n";
  return lines;
}

TEST(IdStamm, LinesPerClassTimeOnlyLineAndSummary) {
  Installation inst(kBadges);
  inst.WriteOut("old content");
  RunResult r = inst.Generate("IDSTAMM", "T1");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected + "Ausweise gesamt: 6 davon in Datei gestellt: 5\n", r.output);
  EXPECT_BYTES(ExpectedLines(), inst.ReadOut());
}

TEST(IdStamm, VerboseShowsTheChecksAndTheBadgeWithoutAuthorisation) {
  Installation inst(kBadges);
  RunResult r = inst.Generate("idstamm", "T1", "out.dnl", "1", {"/d"});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected +
                   "Aws: 1001 Zeitberechtigung: 1\n"
                   "Aws: 1002 Zeitberechtigung: 1\n"
                   "Aws: 1003 Zeitberechtigung: 0\n"
                   "Ausweis 1003 ohne Zeit-/Zutrittsberechtigung auf Terminal T1\n"
                   "Aws: 1004 Zeitberechtigung: 0\n"
                   "Aws: 1004 Zeitberechtigung: 0\n"
                   "Aws: 1005 Zeitberechtigung: 1\n"
                   "Ausweise gesamt: 6 davon in Datei gestellt: 5\n",
               r.output);
  EXPECT_BYTES(ExpectedLines(), inst.ReadOut());
}

TEST(IdStamm, AppendKeepsTheOldLinesFirst) {
  Installation inst(kBadges);
  inst.WriteOut("\"0999\",\"old\"\r\n");
  RunResult r = inst.Generate("IDSTAMM", "T1", "out.dnl", "0");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES("\"0999\",\"old\"\r\n" + ExpectedLines(), inst.ReadOut());
}

// An unknown terminal lists the badges of its assignments only and has no TRMSAL to offer.
// A withdrawn terminal lists the badges of its assignments, with no display set of its own.
TEST(IdStamm, WithdrawnTerminalLeavesTheDisplaySetEmpty) {
  Installation inst(R"sql(
INSERT INTO Kvd1140Trm VALUES ('GHOST', 'M', 'TS', 4, 1, 1, 1);
INSERT INTO Kvd115Tfz VALUES ('GHOST', 1, 1, NULL);
INSERT INTO MGSST35P VALUES ('GHOST', 'Z', '1');
INSERT INTO Kvd301Asw VALUES
  ('3001', date('now','localtime','-1 days'), NULL, 'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('3002', date('now','localtime','-1 days'), NULL, 'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 2, 1, 1);
INSERT INTO Kvd113Awv VALUES ('3001', NULL, NULL, NULL), ('3002', NULL, NULL, NULL);
INSERT INTO Kvd301Awb VALUES ('3001', 'Z'), ('3002', 'Z');
)sql");
  RunResult r = inst.Generate("IDSTAMM", "GHOST");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected + "Terminal GHOST ist gesperrt (Status 4 oder 8)!\n" +
                   "Ausweise gesamt: 1 davon in Datei gestellt: 1\n",
               r.output);
  EXPECT_BYTES("\"3001\",\"" + ListDate(-1) +
                   "\",\"\",\"\",\"1\",\"0\",\"1\",\"\",\"001\",\"Z  \",\"\",\"3001\",\"1\","
                   "\"\"\r\n",
               inst.ReadOut());
}

// A line of 255 characters (line feed included) still goes out; one character more, or a value
// that would break the quoting or the line, keeps the whole badge out of the file.
TEST(IdStamm, BadgesThatWouldBreakTheLineAreLeftOut) {
  const std::string a(94, 'A');
  Installation inst(
      "INSERT INTO Kvd1140Trm VALUES ('T1', 'M', 'TSAL', 1, 1, 1, 1);"
      "INSERT INTO MGSST35P VALUES ('T1', 'Z', '1'), ('T1', '10', '0');"
      "INSERT INTO Kvd301Asw VALUES "
      "('" +
      a +
      "1', date('now','localtime','-1 days'), NULL, 'P', 'Z', 'G', "
      "  NULL, NULL, NULL, NULL, NULL, '1', 1, 1, 1),"
      "('" +
      a +
      "2', date('now','localtime','-1 days'), NULL, 'P', 'Z', 'G', "
      "  NULL, NULL, NULL, NULL, NULL, '12', 1, 1, 1),"
      "('5001', date('now','localtime','-1 days'), NULL, 'P', 'Z', 'G', "
      "  NULL, 1, NULL, NULL, 1, 'x\"y', 1, 1, 1),"
      "('5002', date('now','localtime','-1 days'), NULL, 'P', 'Z', 'G', "
      "  NULL, 1, 'A' || char(10) || 'B', NULL, 1, NULL, 1, 1, 1),"
      "('5003', date('now','localtime','-1 days'), NULL, 'P', 'Z', 'G', "
      "  NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1);"
      "INSERT INTO Kvd113Awv VALUES ('" +
      a + "1', NULL, 1, 1), ('" + a +
      "2', NULL, 1, 1), ('5001', NULL, 1, 1), ('5002', NULL, 1, 1), "
      "('5003', NULL, 1, 1);"
      "INSERT INTO Kvd301Awb VALUES ('" +
      a + "1', 'Z'), ('" + a +
      "2', 'Z'), "
      "('5001', '10'), ('5002', 'Z'), ('5003', '10'), ('5003', 'Z');");
  RunResult r = inst.Generate("IDSTAMM", "T1");
  EXPECT_EQ(r.exitStatus, 0);
  // Digits sort before letters: 5001 to 5003 come first.
  EXPECT_BYTES(kConnected +
                   "Ausweis 5001 nicht in Datei gestellt: Wert enthaelt Anfuehrungszeichen oder "
                   "Zeilenumbruch\n"
                   "Ausweis 5002 nicht in Datei gestellt: Wert enthaelt Anfuehrungszeichen oder "
                   "Zeilenumbruch\n"
                   "Ausweis " +
                   a +
                   "2 nicht in Datei gestellt: Zeile laenger als 255 Zeichen\n"
                   "Ausweise gesamt: 5 davon in Datei gestellt: 2\n",
               r.output);
  // 14 values (2 x 95 + 8 + 1 + 1 + 1 + 4 + 3 + 3 + 1 + 1 = 213), 28 quotes, 13 commas, LF.
  const std::string longLine = "\"" + a + "1\",\"" + ListDate(-1) +
                               "\",\"\",\"\",\"1\",\"0\",\"1\",\"TSAL\",\"001\",\"Z  \",\"\",\"" +
                               a + "1\",\"0\",\"1\"\n";
  ASSERT_EQ(longLine.size(), 255u);
  EXPECT_BYTES("\"5003\",\"" + ListDate(-1) +
                   "\",\"\",\"\",\"1\",\"1\",\"1\",\"TSAL\",\"001\",\"10 \",\"\",\"5003\",\"1\","
                   "\"\"\r\n" +
                   longLine.substr(0, 254) + "\r\n",
               inst.ReadOut());
}

// Control characters U+0080..U+009F (Windows-1252 bytes a Latin-1 database hands over) come out
// as their bytes, in the badge number (looked up again as the database holds it) and the PIN.
TEST(IdStamm, UpperControlCharactersKeepTheirBytes) {
  Installation inst(
      "INSERT INTO Kvd1140Trm VALUES ('T1', 'M', 'TSAL', 1, 1, 1, 1);"
      "INSERT INTO MGSST35P VALUES ('T1', 'Z', '1');"
      "INSERT INTO Kvd301Asw VALUES ('C' || char(128), date('now','localtime','-1 days'), NULL,"
      "  'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, char(147) || '1' || char(148), 1, 1, 1);"
      "INSERT INTO Kvd113Awv VALUES ('C' || char(128), NULL, 1, 1);"
      "INSERT INTO Kvd301Awb VALUES ('C' || char(128), 'Z');");
  const RunResult r = inst.Generate("IDSTAMM", "T1");
  EXPECT_EQ(r.exitStatus, 0) << r.output;
  EXPECT_BYTES("\"C\x80\",\"" + ListDate(-1) +
                   "\",\"\",\"\",\"1\",\"0\",\"1\",\"TSAL\",\"001\",\"Z  \",\"\",\"C\x80\",\"1\","
                   "\"\x93"
                   "1\x94\"\r\n",
               inst.ReadOut());
}

// The change log's lines without the run's time, which is checked for its shape; "" when a
// line is not whole.
std::vector<std::string> ChangeLines(const std::string& log) {
  static const std::regex kTime("^\"\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\",");
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2) {
    const std::string line = log.substr(at, end - at);
    lines.push_back(std::regex_search(line, kTime) ? line.substr(22) : "");
  }
  if (at != log.size()) lines.push_back("");
  return lines;
}

// Runs on one installation, each with the changes made before it: a new file logs every line
// as added; then a badge added, one withdrawn, a class moved and a PIN changed; then an append
// of the same badges, which adds each of them once more.
TEST(IdStamm, ChangeLogHoldsEveryChangeAndNoPin) {
  Installation inst(kBadges);
  inst.Sql("UPDATE Kvd301Asw SET AswPin = '8642' WHERE AswNum = '1005';");
  const auto added = [](const char* badge, const char* cls) {
    return std::string("\"T1\",\"IDSTAMM\",\"") + badge + "\",\"" + cls +
           "\",\"added\",\"\",\"\",\"\"";
  };
  const struct {
    const char* sql;
    const char* mode;
    std::vector<std::string> lines;
  } kRuns[] = {
      {"",
       "1",
       {added("1001", "10"), added("1001", "20"), added("1001", "5"), added("1002", "Z"),
        added("1004", "A1"), added("1004", "A1"), added("1005", "LANG1")}},
      {"INSERT INTO Kvd301Asw VALUES ('1006', date('now','localtime','-1 days'), NULL, 'P6', 'Z',"
       " 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1);"
       "INSERT INTO Kvd113Awv VALUES ('1006', 4711, 1, 1);"
       "INSERT INTO Kvd301Awb VALUES ('1006', 'Z');"
       "UPDATE Kvd301Asw SET AswSta = 4 WHERE AswNum = '1002';"
       "UPDATE Kvd301Awb SET AWBBKL = 'A1' WHERE AWBASW = '1001' AND AWBBKL = '5';"
       "UPDATE Kvd301Asw SET AswPin = '9753' WHERE AswNum = '1005';",
       "1",
       {"\"T1\",\"IDSTAMM\",\"1001\",\"5\",\"removed\",\"\",\"\",\"\"", added("1001", "A1"),
        "\"T1\",\"IDSTAMM\",\"1002\",\"Z\",\"removed\",\"\",\"\",\"\"",
        "\"T1\",\"IDSTAMM\",\"1005\",\"LANG1\",\"changed\",\"pin\",\"\",\"\"", added("1006", "Z")}},
      {"",
       "0",
       {added("1001", "10"), added("1001", "20"), added("1001", "A1"), added("1004", "A1"),
        added("1004", "A1"), added("1005", "LANG1"), added("1006", "Z")}},
  };
  std::size_t before = 0;
  for (const auto& run : kRuns) {
    SCOPED_TRACE(run.sql);
    if (*run.sql) inst.Sql(run.sql);
    const std::string log = (inst.root() / "changes.csv").string();
    const RunResult r =
        inst.Run({"--changes", log, "IDSTAMM", "T1", inst.OutPath().string(), run.mode});
    EXPECT_EQ(r.exitStatus, 0) << r.output;
    const std::vector<std::string> all = ChangeLines(ReadFile(log));
    ASSERT_GE(all.size(), before);
    EXPECT_EQ(
        std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
        run.lines);
    before = all.size();
  }
  const std::string log = ReadFile(inst.root() / "changes.csv");
  EXPECT_EQ(log.find("8642"), std::string::npos);
  EXPECT_EQ(log.find("9753"), std::string::npos);

#ifndef _WIN32
  // A log that cannot take the lines fails the run before the file is put in place.
  const RunResult full =
      inst.Run({"--changes", "/dev/full", "IDSTAMM", "T1", inst.OutPath("new.dnl").string(), "1"});
  EXPECT_EQ(full.exitStatus, 255);
  EXPECT_NE(full.output.find("bleibt unveraendert: Aenderungsprotokoll /dev/full nicht "
                             "schreibbar"),
            std::string::npos)
      << full.output;
  EXPECT_FALSE(std::filesystem::exists(inst.OutPath("new.dnl")));
#endif

  // Two runs writing one log at once: every line whole, none lost.
  const std::string out = inst.OutPath().string();
  const RunResult r = inst.RunCommand("for i in 1 2 3 4; do '" ZIBROLT_BIN "' --changes '" +
                                      (inst.root() / "both.csv").string() + "' IDSTAMM T1 '" + out +
                                      "'$i 1 & done; wait");
  const std::vector<std::string> both = ChangeLines(ReadFile(inst.root() / "both.csv"));
  EXPECT_EQ(both.size(), 4u * 7u) << r.output;
  for (const std::string& line : both) EXPECT_NE(line, "");
}

}  // namespace
}  // namespace zibrolt::test
