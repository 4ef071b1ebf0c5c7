// Balance values and information texts: their fixed widths whatever the columns hold, and the
// lookup of a badge's O2002TSW row (which column lands in which value, no row, two rows).
#include "generators/balance.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "frame/sqlhlp.hpp"
#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

TEST(Balance, ValueIsSixRightAlignedCharactersAndASign) {
  EXPECT_BYTES(" 12,50-", FormatBalanceValue("-", "  12,50"));
  EXPECT_BYTES("  8,00 ", FormatBalanceValue("+", "   8,00"));  // '+' shows as a blank
  EXPECT_BYTES("  8,00 ", FormatBalanceValue(" ", "8,00"));
  EXPECT_BYTES("    12-", FormatBalanceValue("-", "\t \n12"));  // tabs and line feeds go too
  EXPECT_BYTES("123456 ", FormatBalanceValue("+", "1234567,8"));
  EXPECT_BYTES("123456-", FormatBalanceValue("-", "   1234567"));
  EXPECT_BYTES("      -", FormatBalanceValue("-", "   "));
}

TEST(Balance, NullColumnsKeepTheWidths) {
  EXPECT_BYTES("       ", FormatBalanceValue("", ""));
  EXPECT_BYTES("  3,00 ", FormatBalanceValue("", "3,00"));
  EXPECT_BYTES("      -", FormatBalanceValue("-", ""));
  EXPECT_BYTES(std::string(20, ' '), FormatInformationText(""));
}

TEST(Balance, InformationTextIsTwentyCharacters) {
  EXPECT_BYTES("Lager               ", FormatInformationText("Lager"));
  EXPECT_BYTES(
      "\xDC"
      "berstunden         ",
      FormatInformationText("\xDC"
                            "berstunden"));
  EXPECT_BYTES("Resturlaub 2026: 123", FormatInformationText("Resturlaub 2026: 123"));
  EXPECT_BYTES("Resturlaub 2026: 123", FormatInformationText("Resturlaub 2026: 1234"));
}

// The lookup itself, in process on the installation's database.
class BalanceLookup : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(inst_.Connect(db_), sqlhlp::kOk); }

  // Every value n is "-" and n, every text m "Text m", so a mix-up of columns shows.
  Installation inst_{
      "INSERT INTO O2002TSW VALUES ('K1', 'X', '-2', '-3', '-4', '-5', '-6', '-7', '-8', "
      "'-9', '-10', '-11', '-12', '-13', '-14', '-15', '-16', 'Text 1', 'Text 2', 'Text 3', "
      "'Text 4', 'Text 5', 'Text 6', 'Text 7', 'Text 8', 'Text 9', 'Text 10');"
      "INSERT INTO O2002TSW (TSWIDN, TswW09, TswF01) VALUES ('K2', '+   8,00', NULL);"
      "INSERT INTO O2002TSW (TSWIDN, TswW09) VALUES ('K3', '+1'), ('K3', '+2');"};
  std::unique_ptr<sqlhlp::Connection> db_;
};

TEST_F(BalanceLookup, EachColumnLandsInItsValue) {
  BadgeRow row;
  row.AswNum = "K1";
  ASSERT_EQ(LookupBalanceData(*db_, row), sqlhlp::kOk);
  for (int n = 2; n <= 16; ++n) {
    std::string digits = std::to_string(n);
    EXPECT_BYTES(std::string(6 - digits.size(), ' ') + digits + "-", row.balance.value[n]);
  }
  for (int m = 1; m <= 10; ++m) {
    std::string text = "Text " + std::to_string(m);
    EXPECT_BYTES(text + std::string(20 - text.size(), ' '), row.balance.info[m]);
  }

  // NULL columns of a row give blanks of the full width.
  row.AswNum = "K2";
  ASSERT_EQ(LookupBalanceData(*db_, row), sqlhlp::kOk);
  EXPECT_BYTES("  8,00 ", row.balance.value[9]);
  EXPECT_BYTES("       ", row.balance.value[2]);
  EXPECT_BYTES(std::string(20, ' '), row.balance.info[1]);
}

// A file that shows some values reads only those; the others stay as they were.
TEST_F(BalanceLookup, ASelectionReadsOnlyWhatTheFileShows) {
  BalanceSelection shown;
  shown.AddValue(9);
  shown.AddInfo(10);
  zibrolt::BalanceLookup lookup(*db_, nullptr, shown);
  BadgeRow row;
  row.AswNum = "K1";
  row.balance.value[2] = "before";
  ASSERT_EQ(lookup.LookupBalanceData(row), sqlhlp::kOk);
  EXPECT_BYTES("     9-", row.balance.value[9]);
  EXPECT_BYTES("Text 10             ", row.balance.info[10]);
  EXPECT_EQ(row.balance.value[2], "before");
  EXPECT_EQ(row.balance.info[1], "");
  row.AswNum = "NONE";
  EXPECT_EQ(lookup.LookupBalanceData(row), sqlhlp::kNoRow);
}

TEST_F(BalanceLookup, NoRowOrTwoRowsLeaveTheValuesAlone) {
  BadgeRow row;
  row.balance.value[9] = "kept   ";
  row.AswNum = "K9";
  EXPECT_EQ(LookupBalanceData(*db_, row), sqlhlp::kNoRow);
  EXPECT_EQ(row.balance.value[9], "kept   ");

  row.AswNum = "K3";
  EXPECT_EQ(LookupBalanceData(*db_, row), sqlhlp::kTooManyRows);
  EXPECT_EQ(row.balance.value[9], "kept   ");

  // A key that only starts like a stored one finds nothing.
  row.AswNum = "K";
  EXPECT_EQ(LookupBalanceData(*db_, row), sqlhlp::kNoRow);
}

}  // namespace
}  // namespace zibrolt::test
