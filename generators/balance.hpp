// Balance data of a badge, for the files that show balances (MGDNL17P, MGDNL18P, MGDNL60P).
#pragma once
#include <bitset>
#include <string>
#include <string_view>

#include "data/badge_batch.hpp"
#include "data/badge_row.hpp"
#include "data/badges.hpp"
#include "frame/sqlhlp.hpp"

namespace zibrolt {

// Which balance values (2 to 16) and information texts (1 to 10) a file shows; only those are
// read.
struct BalanceSelection {
  std::bitset<27> bits;  // value n at bit n, text m at bit 16 + m

  void AddValue(int n) {
    if (n >= 2 && n <= 16) bits.set(n);
  }
  void AddInfo(int m) {
    if (m >= 1 && m <= 10) bits.set(16 + m);
  }
  bool HasValue(int n) const { return bits.test(n); }
  bool HasInfo(int m) const { return bits.test(16 + m); }
  static BalanceSelection All();
  static BalanceSelection Value(int n);  // balance value n alone
};

// The balance lookup of one run. list is the badge cursor the generator walks: where the
// database prefers batches, the rows of a window of badges are read at once.
class BalanceLookup {
 public:
  explicit BalanceLookup(sqlhlp::Connection& db, const BadgeCursor* list = nullptr,
                         BalanceSelection selection = BalanceSelection::All())
      : db_(db), list_(list), selection_(selection), lookup_(LookupFor(selection)) {}

  // Reads the badge's O2002TSW row into row.balance: the selected balance values and
  // information texts. Returns 0, 1403 when the badge has no row, or an error status (a second
  // row for the badge is one); on any status but 0 row.balance stays as it was.
  int LookupBalanceData(BadgeRow& row);

 private:
  sqlhlp::Connection& db_;
  const BadgeCursor* list_;
  // The statements for a selection, made once per process (connections know statements by the
  // address of their description).
  static const BadgeLookup& LookupFor(const BalanceSelection& selection);

  BalanceSelection selection_;  // what the file shows
  const BadgeLookup& lookup_;   // its statements
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
