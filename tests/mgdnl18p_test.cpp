// The MGDNL18P file as a display terminal receives it: zibrolt run on small databases, records
// and standard output compared byte for byte with records laid out by hand (badge number in 13
// positions, then eight slots of 20: a 13-character label and a 7-character value).
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

const std::string kBlankSlot(20, ' ');

std::string Count(int read, int written) {
  return "Ausweise gesamt: " + std::to_string(read) +
         " davon in Datei gestellt: " + std::to_string(written) + "\n";
}

std::string Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%d.%m.%y", &local);
  return text;
}

std::string Pad(std::string_view text, std::size_t width) {
  std::string padded(text);
  padded.append(width - padded.size(), ' ');
  return padded;
}

// The badge number and the eight slots, each checked to be 20 characters.
std::string Record(std::string_view badge, const std::vector<std::string>& slots) {
  EXPECT_EQ(slots.size(), 8u);
  std::string record = Pad(badge, 13);
  for (const std::string& slot : slots) {
    EXPECT_EQ(slot.size(), 20u) << '"' << slot << '"';
    record += slot;
  }
  return record;
}

// A terminal of the given model showing set S to client 1, licence 1, in language 1, with the
// time class Z.
std::string Terminal(const std::string& name, const std::string& model,
                     const std::string& set = "S") {
  return "INSERT INTO Kvd1140Trm VALUES ('" + name + "','" + model + "','" + set +
         "',1,1,1,1); INSERT INTO MGSST35P VALUES ('" + name + "','Z','1');";
}

// A badge valid since last week; with timeClass it may book time on every test terminal.
std::string Badge(const std::string& number, const std::string& person = "'P'",
                  const std::string& set = "NULL", bool timeClass = true) {
  std::string sql = "INSERT INTO Kvd301Asw (AswNum, AswGvo, AswPnr, AswSal, AswSpr) VALUES ('" +
                    number + "','" + SqlDate(-7) + "'," + person + "," + set + ",1);" +
                    "INSERT INTO Kvd113Awv (AWVNUM) VALUES ('" + number + "');";
  if (timeClass) sql += "INSERT INTO Kvd301Awb VALUES ('" + number + "','Z');";
  return sql;
}

// Display line seq of a set: its own label text, value code and column, with list entries of
// its own in language 1.
std::string Line(const std::string& set, int seq, const std::string& label, const std::string& code,
                 const std::string& column = "NULL") {
  static int entry = 0;
  ++entry;
  const std::string n = std::to_string(entry);
  return "INSERT INTO Kvd119Msd VALUES ('" + set + "'," + std::to_string(seq) + "," + column +
         ",'" + label + "',1,1,'A'," + n + "," + n + ",1);" +
         "INSERT INTO Kvd102Whl VALUES (220001," + n + ",1,'Liste',NULL),(220002," + n +
         ",1,NULL,'" + code + "');";
}

TEST(MgDnl18P, TerminalWithoutDisplayTextsSendsBadgeAndBlanks) {
  Installation inst(Terminal("T1", "7744-010") + Badge("1001") + Badge("1002"));
  RunResult r = inst.Generate("MGDNL18P", "T1");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected + Count(2, 2), r.output);
  EXPECT_BYTES(Pad("1001", 173) + Pad("1002", 173), inst.ReadOut());
}

TEST(MgDnl18P, DateSlotsShowTheWholeDateOnlyInTheFirst) {
  const std::string date = Today();
  Installation inst(Terminal("T1", "7744-010", "S1") + Terminal("T2", "7744-010", "S2") +
                    Badge("1001") + Line("S1", 3, "Heute", "#W1") + Line("S2", 2, "Datum", "#W1") +
                    Line("S2", 6, "Auch", "#W1"));
  ASSERT_EQ(inst.Generate("MGDNL18P", "T1").exitStatus, 0);
  // Slot 3: the label's first 12 characters at 53-64, the date at 65-72.
  EXPECT_BYTES(Record("1001", {kBlankSlot, kBlankSlot, "Heute       " + date, kBlankSlot,
                               kBlankSlot, kBlankSlot, kBlankSlot, kBlankSlot}),
               inst.ReadOut());
  ASSERT_EQ(inst.Generate("MGDNL18P", "T2").exitStatus, 0);
  // Slot 6 keeps its label's closing blank and shows the date's first 7 characters.
  EXPECT_BYTES(
      Record("1001", {kBlankSlot, "Datum       " + date, kBlankSlot, kBlankSlot, kBlankSlot,
                      "Auch         " + date.substr(0, 7), kBlankSlot, kBlankSlot}),
      inst.ReadOut());
}

class MgDnl18PValues : public ::testing::Test {
 protected:
  // Badge 2001 has a balance row, 2002 none, 2003 may not book time on T1.
  MgDnl18PValues()
      : inst(Terminal("T1", "7744-010") + Badge("2001", "'P1'") + Badge("2002", "'P2'") +
             Badge("2003", "'P3'", "NULL", false) +
             "INSERT INTO O2002TSW (TSWIDN, TswW02, TswW09, TswW16, TswF05, TswF10) VALUES "
             "('2001', '-  12,50', '+1234567', '+8', 'Resturlaub 2026: 12', "
             "'Gleitzeit im Plus');" +
             Line("S", 1, "Saldo", "#W2", "2") + Line("S", 2, "Plus", "#W16") +
             Line("S", 3, "Info", "#W25") + Line("S", 4, "Frei", "XYZ") +
             Line("S", 5, "Abc", "#W9", "2") + Line("S", 6, "Null", "#W02") +
             Line("S", 7, "Lang", "#W30", "2") + Line("S", 8, "Text", "#W17")) {}
  Installation inst;
};

TEST_F(MgDnl18PValues, CodesSelectBalancesAndInformationTexts) {
  RunResult r = inst.Generate("MGDNL18P", "T1");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected + Count(3, 2), r.output);
  const std::string expected =
      Record("2001",
             {
                 "Saldo         12,50-",  // column 2 counts in slots 5 to 8 only
                 "Plus              8 ",
                 "Resturlaub 2026: 12 ",  // an information text hides the label
                 "Frei                ",  // unknown code: 7 blanks
                 " Abc         123456 ",  // column 2: label one position right
                 "Null                ",  // "#W02" is no code
                 "Gleitzeit im Plus   ",
                 "Text                ",  // no codes #W17 to #W20
             }) +
      // No balance row: labels only.
      Record("2002", {"Saldo               ", "Plus                ", "Info                ",
                      "Frei                ", " Abc                ", "Null                ",
                      " Lang               ", "Text                "});
  EXPECT_BYTES(expected, inst.ReadOut());
}

TEST_F(MgDnl18PValues, DiagnosticLinesWithD) {
  RunResult r = inst.Generate("MGDNL18P", "T1", "out.dnl", "1", {"/d"});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected +
                   "Wert:          Txt: Saldo          Con: #W2 !\n"
                   "Wert:          Txt: Plus           Con: #W16 !\n"
                   "Wert:          Txt: Info           Con: #W25 !\n"
                   "Wert:          Txt: Frei           Con: XYZ !\n"
                   "Wert:          Txt: Abc            Con: #W9 !\n"
                   "Wert:          Txt: Null           Con: #W02 !\n"
                   "Wert:          Txt: Lang           Con: #W30 !\n"
                   "Wert:          Txt: Text           Con: #W17 !\n"
                   "Aws: 2001 Zeitberechtigung: 1\n"
                   "Aws: 2002 Zeitberechtigung: 1\n"
                   "Ausweis:2002 Person:P2 Saldodaten nicht gefunden! 1403\n"
                   "Aws: 2003 Zeitberechtigung: 0\n"
                   "Ausweis 2003 auf Terminal T1 nicht zulaessig!\n" +
                   Count(3, 2),
               r.output);
  EXPECT_EQ(inst.ReadOut().size(), 2 * 173u);
}

TEST(MgDnl18P, EachBadgeOnceAndOnlyWithPersonNumberAndFittingNumber) {
  // Badge 3001 comes in three validity periods; the first without person number does not
  // count as written, so the second is written and the third passed over.
  Installation inst(Terminal("T1", "7744-010") +
                    "INSERT INTO Kvd301Asw (AswNum, AswGvo, AswPnr, AswSpr) VALUES "
                    "('3001','" +
                    SqlDate(-30) + "',NULL,1), ('3001','" + SqlDate(-20) +
                    "','P',1), "
                    "('3001','" +
                    SqlDate(-10) +
                    "','P',1);"
                    "INSERT INTO Kvd113Awv (AWVNUM) VALUES ('3001');"
                    "INSERT INTO Kvd301Awb VALUES ('3001','Z');" +
                    Badge("3002", "NULL") + Badge("3003", "'P'", "NULL", false) +
                    Badge("1234567890123") + Badge("12345678901234"));
  RunResult r = inst.Generate("MGDNL18P", "T1");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected +
                   "Ausweis 12345678901234 nicht in Datei gestellt: Ausweisnummer laenger als "
                   "13 Zeichen\n" +
                   Count(7, 2),
               r.output);
  EXPECT_BYTES(Pad("1234567890123", 173) + Pad("3001", 173), inst.ReadOut());
}

TEST(MgDnl18P, TerminalModelsDecideSlotsAndBadgeSets) {
  const std::string date = Today();
  Installation inst(Terminal("T7", "7598-002", "K") + Terminal("T8", "7744-010") +
                    Terminal("T9", "7744-011") + Line("K", 1, "Eins", "#W1") +
                    Line("K", 5, "Fuenf", "#W1") + Line("K", 8, "Acht", "XYZ", "2") +
                    Line("S", 1, "Terminal", "XYZ") + Line("OWN", 2, "Eigen", "#W1") +
                    Badge("4001", "'P'", "'OWN'") + Badge("4002", "'P'", "'LEER'") + Badge("4003"));

  // Slots 5 to 8 are never shown on this model.
  ASSERT_EQ(inst.Generate("MGDNL18P", "T7").exitStatus, 0);
  const std::string kantine =
      "Eins        " + date + kBlankSlot + kBlankSlot + kBlankSlot + std::string(80, ' ');
  EXPECT_BYTES(Pad("4001", 13) + kantine + Pad("4002", 13) + kantine + Pad("4003", 13) + kantine,
               inst.ReadOut());

  // Badges with a set of their own show it, even when it has no lines.
  const std::string terminal =
      Record("4003", {"Terminal            ", kBlankSlot, kBlankSlot, kBlankSlot, kBlankSlot,
                      kBlankSlot, kBlankSlot, kBlankSlot});
  ASSERT_EQ(inst.Generate("MGDNL18P", "T8").exitStatus, 0);
  EXPECT_BYTES(Record("4001", {kBlankSlot, "Eigen       " + date, kBlankSlot, kBlankSlot,
                               kBlankSlot, kBlankSlot, kBlankSlot, kBlankSlot}) +
                   Pad("4002", 173) + terminal,
               inst.ReadOut());

  // Other models show every badge the terminal's lines.
  ASSERT_EQ(inst.Generate("MGDNL18P", "T9").exitStatus, 0);
  EXPECT_BYTES(terminal.substr(13).insert(0, Pad("4001", 13)) +
                   terminal.substr(13).insert(0, Pad("4002", 13)) + terminal,
               inst.ReadOut());
}

TEST(MgDnl18P, BadgeNamingThreeHundredSetsGetsTheLinesOfItsOwnStatements) {
  // Badge 5001 has 300 validity rows valid today, each naming another set (more sets than are
  // kept at once); set M<100+i> holds line i+1 with its own label and a code that shows no value.
  Installation inst(
      Terminal("T1", "7744-010") + R"(
    INSERT INTO Kvd102Whl VALUES (220001, 1, 1, 'Liste', NULL), (220002, 1, 1, NULL, 'XYZ');
    INSERT INTO Kvd119Msd WITH RECURSIVE s(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM s
      WHERE i < 299) SELECT 'M' || (100 + i), i + 1, NULL, 'Zeile ' || (i + 1), 1, 1, 'A', 1, 1, 1
      FROM s;
    INSERT INTO Kvd113Awv (AWVNUM) VALUES ('5001');
    INSERT INTO Kvd301Awb VALUES ('5001', 'Z');)" +
      "INSERT INTO Kvd301Asw (AswNum, AswGvo, AswPnr, AswSal, AswSpr) SELECT '5001', '" +
      SqlDate(-7) + "', 'P', MsdSal, 1 FROM Kvd119Msd;");
  RunResult r = inst.Generate("MGDNL18P", "T1");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected + Count(300, 1), r.output);
  std::vector<std::string> slots;
  for (int n = 1; n <= 8; ++n) slots.push_back(Pad("Zeile " + std::to_string(n), 20));
  EXPECT_BYTES(Record("5001", slots), inst.ReadOut());
}

TEST(MgDnl18P, CreateOrAppendAndAnEmptyBadgeList) {
  Installation inst(Terminal("T1", "7744-010"));
  inst.WriteOut("old");
  RunResult r = inst.Generate("MGDNL18P", "T1", "out.dnl", "0");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected + Count(0, 0), r.output);
  EXPECT_EQ(inst.ReadOut(), "old");
  EXPECT_EQ(inst.Generate("MGDNL18P", "T1", "out.dnl", "1").exitStatus, 0);
  EXPECT_EQ(inst.ReadOut(), "");

  inst.Sql(Badge("1001"));
  inst.WriteOut("old");
  EXPECT_EQ(inst.Generate("MGDNL18P", "T1", "out.dnl", "0").exitStatus, 0);
  EXPECT_BYTES("old" + Pad("1001", 173), inst.ReadOut());
  EXPECT_EQ(inst.Generate("MGDNL18P", "T1", "out.dnl", "1").exitStatus, 0);
  EXPECT_BYTES(Pad("1001", 173), inst.ReadOut());
}

}  // namespace
}  // namespace zibrolt::test
