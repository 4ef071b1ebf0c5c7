// Balance values and information texts: their fixed widths whatever the columns hold, and the
// lookup of a badge's O2002TSW row (which column lands in which value, no row, two rows).
#include "data/balance.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "client/sqlhlp.hpp"
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
  zibrolt::BalanceLookup lookup(*db_);
  Found<const BalanceValues*> found = lookup.LookupBalanceData(BadgeKey("K1"));
  ASSERT_EQ(found.status, sqlhlp::kOk);
  for (int n = 2; n <= 16; ++n) {
    std::string digits = std::to_string(n);
    EXPECT_BYTES(std::string(6 - digits.size(), ' ') + digits + "-", found.value->value[n]);
  }
  for (int m = 1; m <= 10; ++m) {
    std::string text = "Text " + std::to_string(m);
    EXPECT_BYTES(text + std::string(20 - text.size(), ' '), found.value->info[m]);
  }

  // NULL columns of a row give blanks of the full width.
  found = lookup.LookupBalanceData(BadgeKey("K2"));
  ASSERT_EQ(found.status, sqlhlp::kOk);
  EXPECT_BYTES("  8,00 ", found.value->value[9]);
  EXPECT_BYTES("       ", found.value->value[2]);
  EXPECT_BYTES(std::string(20, ' '), found.value->info[1]);
}

// A file that shows some values reads only those.
TEST_F(BalanceLookup, ASelectionReadsOnlyWhatTheFileShows) {
  BalanceSelection shown;
  shown.AddValue(9);
  shown.AddInfo(10);
  zibrolt::BalanceLookup lookup(*db_, nullptr, nullptr, shown);
  const Found<const BalanceValues*> found = lookup.LookupBalanceData(BadgeKey("K1"));
  ASSERT_EQ(found.status, sqlhlp::kOk);
  EXPECT_BYTES("     9-", found.value->value[9]);
  EXPECT_BYTES("Text 10             ", found.value->info[10]);
  EXPECT_EQ(found.value->value[2], "");
  EXPECT_EQ(found.value->info[1], "");
  EXPECT_EQ(lookup.LookupBalanceData(BadgeKey("NONE")).status, sqlhlp::kNoRow);
}

TEST_F(BalanceLookup, NoRowOrTwoRowsGiveNoValues) {
  zibrolt::BalanceLookup lookup(*db_);
  // A key that only starts like a stored one finds nothing.
  for (const char* badge : {"K9", "K"}) {
    const Found<const BalanceValues*> found = lookup.LookupBalanceData(BadgeKey(badge));
    EXPECT_EQ(found.status, sqlhlp::kNoRow) << badge;
    EXPECT_EQ(found.value, nullptr);
  }
  const Found<const BalanceValues*> two = lookup.LookupBalanceData(BadgeKey("K3"));
  EXPECT_EQ(two.status, sqlhlp::kTooManyRows);
  EXPECT_EQ(two.value, nullptr);
}

}  // namespace
}  // namespace zibrolt::test
