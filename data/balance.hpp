// Balance data of a badge, for the files that show balances (MGDNL17P, MGDNL18P, MGDNL60P).
#pragma once
#include <array>
#include <bitset>
#include <string>
#include <string_view>

#include "client/sqlhlp.hpp"
#include "data/badge_batch.hpp"
#include "data/badges.hpp"

namespace zibrolt {

class PassLookups;

// Balance values 2 to 16 (a value right-aligned in 6 characters and a sign character) and
// information texts 1 to 10 (20 characters each) of the badge's O2002TSW row; only those a
// file shows are filled.
struct BalanceValues {
  std::array<std::string, 17> value;  // value[n]: balance value n, 7 characters; [0], [1] unused
  std::array<std::string, 11> info;   // info[m]: information text m, 20 characters; [0] unused
};

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

// The balance value a file of one balance shows: MGDNL17P value 2, MGDNL60P value 9. Named
// here so that the statement list holds the forms those files send.
inline constexpr int kMgdnl17pBalanceValue = 2;
inline constexpr int kMgdnl60pBalanceValue = 9;
// What those files show in the balance field of a badge without a balance row.
inline constexpr std::string_view kNoBalance = "       ";

// The balance lookup of one run. list is the badge cursor the generator walks: where the
// database prefers batches, the rows of a window of badges are read at once. shared is the
// lookups of the zibrolt-site pass walking list, or nullptr: given, they answer (with every
// value read, the selected ones among them).
class BalanceLookup {
 public:
  explicit BalanceLookup(sqlhlp::Connection& db, const BadgeCursor* list = nullptr,
                         PassLookups* shared = nullptr,
                         BalanceSelection selection = BalanceSelection::All());

  // The badge's O2002TSW row: status 0 with the selected balance values and information
  // texts, 1403 when the badge has no row, or an error status (a second row for the badge is
  // one).
  Found<const BalanceValues*> LookupBalanceData(const BadgeKey& badge);

 private:
  BalanceLookup* shared_;       // the pass's own, or nullptr
  BalanceSelection selection_;  // what the file shows
  BadgeLookup lookup_;          // its statements
  BadgeAnswers<BalanceValues> answers_;
};

// "%6.6s%s": the digits after their leading blanks, tabs and line feeds, right-aligned in 6,
// then a blank for '+' or a missing sign, else the sign character. Always 7 characters.
std::string FormatBalanceValue(std::string_view sign, std::string_view digits);
void FormatBalanceValue(std::string_view sign, std::string_view digits, std::string& value);

// "%-20s", cut to 20: always 20 characters.
std::string FormatInformationText(std::string_view text);
void FormatInformationText(std::string_view text, std::string& info);

}  // namespace zibrolt
