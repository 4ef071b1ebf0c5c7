// Balance data of a badge, for the files that show balances (MGDNL17P, MGDNL18P, MGDNL60P).
#pragma once
#include <string>
#include <string_view>

#include "data/badge_batch.hpp"
#include "data/badge_row.hpp"
#include "data/badges.hpp"
#include "frame/sqlhlp.hpp"

namespace zibrolt {

// The balance lookup of one run. list is the badge cursor the generator walks: where the
// database prefers batches, the rows of a window of badges are read at once.
class BalanceLookup {
 public:
  // onlyValue 2 to 16: the file shows that balance value alone, and only it is read; 0: all.
  explicit BalanceLookup(sqlhlp::Connection& db, const BadgeCursor* list = nullptr,
                         int onlyValue = 0)
      : db_(db), list_(list), onlyValue_(onlyValue >= 2 && onlyValue <= 16 ? onlyValue : 0) {}

  // Reads the badge's O2002TSW row into row.balance: balance values 2 to 16 and information
  // texts 1 to 10 (or the one value asked for). Returns 0, 1403 when the badge has no row, or
  // an error status (a second row for the badge is one); on any status but 0 row.balance stays
  // as it was.
  int LookupBalanceData(BadgeRow& row);

 private:
  sqlhlp::Connection& db_;
  const BadgeCursor* list_;
  int onlyValue_;  // the one balance value read, or 0 for the whole row
  BadgeAnswers<BalanceValues> answers_;
};

// The same for one badge, without a list ahead.
int LookupBalanceData(sqlhlp::Connection& db, BadgeRow& row);

// "%6.6s%s": the digits after their leading blanks, tabs and line feeds, right-aligned in 6,
// then a blank for '+' or a missing sign, else the sign character. Always 7 characters.
std::string FormatBalanceValue(std::string_view sign, std::string_view digits);
void FormatBalanceValue(std::string_view sign, std::string_view digits, std::string& value);

// "%-20s", cut to 20: always 20 characters.
std::string FormatInformationText(std::string_view text);
void FormatInformationText(std::string_view text, std::string& info);

}  // namespace zibrolt
