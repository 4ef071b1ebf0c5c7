// zibrolt MGDNL60P: the 45-character records byte for byte (badge 13, first day 8, time and
// access flag, balance value 9, reader slots 1 to 3 of number and class) and what it prints.
#include <gtest/gtest.h>

#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

const std::string kNoSlot = "     ";

// Columns: AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAan, AswAtp, AswSal, AswBk2,
// AswSpr, AswPin, ASWMND, ASWLIZ, AswSta.
std::string Badge(const std::string& number, const std::string& from,
                  const std::string& to = "NULL") {
  return "INSERT INTO Kvd301Asw VALUES ('" + number + "', " + from + ", " + to +
         ", '00000001', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1);";
}
// The badge's administration row; without it the badge is not listed.
std::string Admin(const std::string& number) {
  return "INSERT INTO Kvd113Awv VALUES ('" + number + "', 30, 1, 1);";
}
std::string Day(int days) { return "'" + SqlDate(days) + "'"; }

// T1 has readers 1, 3 and 4 (reader 2 switched off); T2 has no readers at all.
std::string Installation60P() {
  return std::string(
             "INSERT INTO Kvd1140Trm VALUES ('T1', 'ZK-40', NULL, 1, 1, 1, 1),"
             " ('T2', 'ZK-40', NULL, 1, 1, 1, 1);"
             "INSERT INTO Kvd401Zls VALUES ('T1', 1, 'Z', 1), ('T1', 2, 'Z', 4),"
             " ('T1', 3, 'Z', NULL), ('T1', 4, 'Z', 1);"
             "INSERT INTO MGSST35P VALUES ('T1', 'Z', '1'), ('T1', '10', '0'), ('T1', '20', '0'),"
             " ('T1', 'LANG1', '0'), ('T1', 'LANG2', '0'), ('T2', '10', '0'), ('T2', '20', '0');"
             "INSERT INTO Kvd301Awb VALUES ('12345678901234', '10'),"
             " ('A1', 'Z'), ('A1', '10'), ('A1', '20'), ('A2', 'Z'), ('A4', '10'),"
             " ('A5', 'LANG1'), ('A5', '10'), ('A6', 'LANG2'), ('A6', 'Z'), ('A7', 'LANG2'),"
             " ('A8', 'Z'), ('A8', '10');"
             // A8 has two balance rows: the lookup fails, the badge is still written.
             "INSERT INTO O2002TSW (TSWIDN, TswW02, TswW09) VALUES ('A1', '+  99,00', '-  12,50'),"
             " ('A4', NULL, '+   8,00'), ('A5', NULL, '+1234567,8'),"
             " ('A6', NULL, '-' || char(9) || ' 7,25'), ('A8', NULL, '+1'), ('A8', NULL, '+2');") +
         Badge("12345678901234", Day(-10)) + Badge("A1", Day(-10), Day(10)) +
         Badge("A2", "NULL", Day(5)) + Badge("A3", Day(-10)) + Badge("A4", Day(-20)) +
         Badge("A4", Day(-5)) + Badge("A5", Day(-10)) + Badge("A6", Day(-10)) +
         Badge("A7", Day(-10)) + Badge("A8", Day(-10)) + Admin("12345678901234") + Admin("A1") +
         Admin("A2") + Admin("A3") + Admin("A4") + Admin("A5") + Admin("A6") + Admin("A7") +
         Admin("A8");
}

// The records of T1, in badge order.
std::string ExpectedT1() {
  const std::string d10 = ListDate(-10);
  return
      // classes 20 and 10, highest first, on readers 1 and 3
      "A1           " + d10 + "11" + " 12,50-" + "0120 " + kNoSlot + "0320 " + "A1           " +
      d10 + "11" + " 12,50-" + "0110 " + kNoSlot + "0310 " +
      // time only, no first day, no balance row
      "A2           " + "00000000" + "10" + "       " + kNoSlot + kNoSlot + kNoSlot +
      // both rows of the badge
      "A4           " + ListDate(-20) + "01" + "  8,00 " + "0110 " + kNoSlot + "0310 " +
      "A4           " + ListDate(-5) + "01" + "  8,00 " + "0110 " + kNoSlot + "0310 " +
      // LANG1 is left out; the balance keeps its first six characters
      "A5           " + d10 + "01" + "123456 " + "0110 " + kNoSlot + "0310 " +
      // its only class is left out: the time-only record stays
      "A6           " + d10 + "10" + "  7,25-" + kNoSlot + kNoSlot + kNoSlot +
      // two balance rows: no balance shown
      "A8           " + d10 + "11" + "       " + "0110 " + kNoSlot + "0310 ";
}

const std::string kLongBadge =
    "Ausweis 12345678901234 nicht in Datei gestellt: Ausweisnummer laenger als 13 Zeichen\n";
std::string ClassLeftOut(const std::string& badge, const std::string& entry) {
  return "Ausweis " + badge + ": Zutrittsklasse " + entry +
         " nicht in Datei gestellt: laenger als 3 Zeichen\n";
}

TEST(MgDnl60P, RecordsPerClassAndReaderAndTheSummary) {
  Installation inst(Installation60P());
  inst.WriteOut("OLD");
  RunResult r = inst.Generate("MGDNL60P", "T1");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected + kLongBadge + ClassLeftOut("A5", "LANG1") + ClassLeftOut("A6", "LANG2") +
                   ClassLeftOut("A7", "LANG2") + "Ausweise gesamt: 10 davon in Datei gestellt: 7\n",
               r.output);
  const std::string file = inst.ReadOut();
  EXPECT_BYTES(ExpectedT1(), file);
  EXPECT_EQ(file.size(), 8u * 45u);
}

TEST(MgDnl60P, VerboseAppendRunNamesEachBadgeAndThoseWithoutAuthorisation) {
  Installation inst(Installation60P());
  inst.WriteOut("OLD");  // appended to, records without line ends
  RunResult r = inst.Generate("mgdnl60p", "T1", "out.dnl", "0", {"/d"});
  EXPECT_EQ(r.exitStatus, 0);
  auto time = [](const std::string& badge, int result) {
    return "Aws: " + badge + " Zeitberechtigung: " + std::to_string(result) + "\n";
  };
  EXPECT_BYTES(kConnected + kLongBadge + time("A1", 1) + time("A2", 1) + time("A3", 0) +
                   "Ausweis A3 ohne Zeit-/Zutrittsberechtigung auf Terminal T1\n" + time("A4", 0) +
                   time("A4", 0) + time("A5", 0) + ClassLeftOut("A5", "LANG1") + time("A6", 1) +
                   ClassLeftOut("A6", "LANG2") + time("A7", 0) + ClassLeftOut("A7", "LANG2") +
                   time("A8", 1) + "Ausweise gesamt: 10 davon in Datei gestellt: 7\n",
               r.output);
  EXPECT_BYTES("OLD" + ExpectedT1(), inst.ReadOut());
}

TEST(MgDnl60P, TerminalWithoutReadersGetsOneBlankRecordPerClass) {
  Installation inst(Installation60P());
  RunResult r = inst.Generate("MGDNL60P", "T2");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected + kLongBadge + "Ausweise gesamt: 10 davon in Datei gestellt: 5\n",
               r.output);
  const std::string d10 = ListDate(-10);
  const std::string noSlots = kNoSlot + kNoSlot + kNoSlot;
  EXPECT_BYTES("A1           " + d10 + "01" + " 12,50-" + noSlots +      // class 20
                   "A1           " + d10 + "01" + " 12,50-" + noSlots +  // class 10
                   "A4           " + ListDate(-20) + "01" + "  8,00 " + noSlots + "A4           " +
                   ListDate(-5) + "01" + "  8,00 " + noSlots + "A5           " + d10 + "01" +
                   "123456 " + noSlots + "A8           " + d10 + "01" + "       " + noSlots,
               inst.ReadOut());
}

}  // namespace
}  // namespace zibrolt::test
