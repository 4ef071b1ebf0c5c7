// zibrolt MGDNL17P: the 85-character records byte for byte (badge 13, first day 8, time and
// access flag, balance value 2, eleven reader fields of number and class or location) and
// what it prints, also when the badge list breaks off.
#include <gtest/gtest.h>

#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

const std::string kNoField = "     ";
std::string NoFields(int count) { return std::string(5 * count, ' '); }

// Columns: AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAan, AswAtp, AswSal, AswBk2,
// AswSpr, AswPin, ASWMND, ASWLIZ, AswSta. pnr is the person number "0000000" + pnr.
std::string Badge(const std::string& number, const std::string& from, const std::string& pnr,
                  const std::string& to = "NULL") {
  return "INSERT INTO Kvd301Asw VALUES ('" + number + "', " + from + ", " + to + ", '0000000" +
         pnr + "', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1);";
}
// The administration row, with the badge's location number.
std::string Admin(const std::string& number, const std::string& location) {
  return "INSERT INTO Kvd113Awv VALUES ('" + number + "', " + location + ", 1, 1);";
}
std::string Day(int days) { return "'" + SqlDate(days) + "'"; }

// T1 has readers 1, 2 and 9 (5 switched off, 12 beyond the file's readers); T7 readers 1
// and 7. Locations: 12 "Büro Nord", 30 "EG", 40 withdrawn.
std::string Installation17P() {
  return std::string(
             "INSERT INTO Kvd1140Trm VALUES ('T1', '7744-010', NULL, 1, 1, 1, 1),"
             " ('T7', '7744-010', NULL, 1, 1, 1, 1);"
             "INSERT INTO Kvd401Zls VALUES ('T1', 1, 'Z', 1), ('T1', 2, 'Z', NULL),"
             " ('T1', 5, 'Z', 8), ('T1', 9, 'Z', 1), ('T1', 12, 'Z', 1),"
             " ('T7', 1, 'Z', 1), ('T7', 7, 'Z', 1);"
             "INSERT INTO MGSST35P VALUES ('T1', 'Z', '1'), ('T1', '10', '0'), ('T1', '20', '0'),"
             " ('T1', '30', '0'), ('T1', 'LANG1', '0'), ('T7', '10', '0');"
             "INSERT INTO Kvd113Sto VALUES (12, 'B\xC3\xBCro Nord', 1), (30, 'EG', NULL),"
             " (40, 'Alt', 4);"
             "INSERT INTO Kvd301Awb VALUES ('12345678901234', '10'), ('12345678901235', '10'),"
             " ('B1', 'Z'), ('B1', '10'), ('B1', '20'), ('B1', '30'), ('B2', 'Z'), ('B4', '10'),"
             " ('B5', 'Z'), ('B5', 'LANG1'), ('B5', '10'), ('B6', 'Z'), ('B6', 'LANG1'),"
             " ('B7', 'Z'), ('B8', 'Z');"
             // B7 has two balance rows: the lookup fails, the badge is still written.
             "INSERT INTO O2002TSW (TSWIDN, TswW02, TswW09) VALUES ('B1', '-  12,50', '+   1,00'),"
             " ('B4', NULL, '+   1,00'), ('B5', '+1234567,8', NULL),"
             " ('B6', '-' || char(9) || ' 7,25', NULL), ('B7', '+1', NULL), ('B7', '+2', NULL);") +
         // Two badge numbers alike in their first 13 characters are two badges.
         Badge("12345678901234", Day(-10), "9") + Admin("12345678901234", "30") +
         Badge("12345678901235", Day(-10), "9") + Admin("12345678901235", "30") +
         Badge("B1", Day(-10), "1", Day(10)) + Admin("B1", "12") +
         // Two rows valid today: only the first (lowest first day) counts.
         Badge("B2", Day(-20), "2") + Badge("B2", Day(-5), "2") + Admin("B2", "30") +
         Badge("B3", Day(-10), "3") + Admin("B3", "30") + Badge("B4", "NULL", "4", Day(10)) +
         Admin("B4", "40") + Badge("B5", Day(-10), "5") + Admin("B5", "NULL") +
         Badge("B6", Day(-10), "6") + Admin("B6", "30") + Badge("B7", Day(-10), "7") +
         Admin("B7", "NULL") +
         // Two administration rows: the badge list has the badge twice and the location
         // lookup finds two rows.
         Badge("B8", Day(-10), "8") + Admin("B8", "12") + Admin("B8", "30");
}

std::string ExpectedT1() {
  const std::string d10 = ListDate(-10);
  // Reader fields of an access record on T1: 1 and 2 with the class, 7 the location, 9.
  auto access = [](const std::string& accessClass, const std::string& field7) {
    return "01" + accessClass + "02" + accessClass + NoFields(4) + field7 + kNoField + "09   " +
           NoFields(2);
  };
  return
      // classes 30, 20 and 10, highest first; location "Bür"
      "B1           " + d10 + "11" + " 12,50-" + access("30 ", "07B\xFCr") + "B1           " + d10 +
      "11" + " 12,50-" + access("20 ", "07B\xFCr") + "B1           " + d10 + "11" + " 12,50-" +
      access("10 ", "07B\xFCr") +
      // time only: no reader numbers, but the location
      "B2           " + ListDate(-20) + "10" + "       " + NoFields(6) + "07EG " + NoFields(4) +
      // no first day, no balance value, location withdrawn
      "B4           " + "00000000" + "01" + "       " + access("10 ", kNoField) +
      // LANG1 left out; balance cut to six characters
      "B5           " + d10 + "11" + "123456 " + access("10 ", kNoField) +
      // its only class left out: the time-only record stays
      "B6           " + d10 + "10" + "  7,25-" + NoFields(6) + "07EG " + NoFields(4) +
      // two balance rows: no balance shown
      "B7           " + d10 + "10" + "       " + NoFields(11) +
      // location lookup failed
      "B8           " + d10 + "10" + "       " + NoFields(11);
}

const std::string kLongBadges =
    "Ausweis 12345678901234 nicht in Datei gestellt: Ausweisnummer laenger als 13 Zeichen\n"
    "Ausweis 12345678901235 nicht in Datei gestellt: Ausweisnummer laenger als 13 Zeichen\n";
std::string ClassLeftOut(const std::string& badge) {
  return "Ausweis " + badge +
         ": Zutrittsklasse LANG1 nicht in Datei gestellt: laenger als 3 Zeichen\n";
}
const std::string kLocationFailed = "SQL Standortbez. Ermitteln. SQLCode:-1422\n";

TEST(MgDnl17P, RecordsPerClassWithReadersLocationAndBalance) {
  Installation inst(Installation17P());
  inst.WriteOut("OLD");
  RunResult r = inst.Generate("MGDNL17P", "T1");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_BYTES(kConnected + kLongBadges + ClassLeftOut("B5") + ClassLeftOut("B6") +
                   kLocationFailed + "Ausweise gesamt: 10 davon in Datei gestellt: 7\n",
               r.output);
  const std::string file = inst.ReadOut();
  EXPECT_BYTES(ExpectedT1(), file);
  EXPECT_EQ(file.size(), 9u * 85u);
}

TEST(MgDnl17P, VerboseAppendRunReportsBalanceLookupsAndBadgesWithoutAuthorisation) {
  Installation inst(Installation17P());
  inst.WriteOut("OLD");  // appended to, records without line ends
  RunResult r = inst.Generate("MGDNL17P", "T1", "out.dnl", "0", {"/d"});
  EXPECT_EQ(r.exitStatus, 0);
  auto saldo = [](const std::string& pnr, const std::string& status) {
    return "Saldo Ermitteln. Pnr: 0000000" + pnr + " SQLCode:" + status + "\n";
  };
  auto time = [](const std::string& badge, int result) {
    return "Aws: " + badge + " Zeitberechtigung: " + std::to_string(result) + "\n";
  };
  EXPECT_BYTES(kConnected + kLongBadges + time("B1", 1) + saldo("2", "1403") + time("B2", 1) +
                   saldo("3", "1403") + time("B3", 0) +
                   "Ausweis B3 ohne Zeit-/Zutrittsberechtigung auf Terminal T1\n" + time("B4", 0) +
                   time("B5", 1) + ClassLeftOut("B5") + time("B6", 1) + ClassLeftOut("B6") +
                   saldo("7", "-1422") + time("B7", 1) + saldo("8", "1403") + time("B8", 1) +
                   kLocationFailed + "Ausweise gesamt: 10 davon in Datei gestellt: 7\n",
               r.output);
  EXPECT_BYTES("OLD" + ExpectedT1(), inst.ReadOut());
}

TEST(MgDnl17P, ReaderSevenShowsTheLocationOrItsNumberButNoClass) {
  Installation inst(Installation17P());
  RunResult r = inst.Generate("MGDNL17P", "T7");
  EXPECT_EQ(r.exitStatus, 0);
  // B8 gets no record, so its location is not looked up and no failure is printed.
  EXPECT_BYTES(kConnected + kLongBadges + "Ausweise gesamt: 10 davon in Datei gestellt: 3\n",
               r.output);
  const std::string d10 = ListDate(-10);
  EXPECT_BYTES("B1           " + d10 + "01" + " 12,50-" + "0110 " + NoFields(5) + "07B\xFCr" +
                   NoFields(4) + "B4           " + "00000000" + "01" + "       " + "0110 " +
                   NoFields(5) + "07   " + NoFields(4) + "B5           " + d10 + "01" + "123456 " +
                   "0110 " + NoFields(5) + "07   " + NoFields(4),
               inst.ReadOut());
}

}  // namespace
}  // namespace zibrolt::test
