// The badge's balances and information texts from O2002TSW, formatted once for every file
// that shows them: a balance value is 7 characters (6 for the value, 1 for the sign), an
// information text 20.
#include "generators/balance.hpp"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace zibrolt {
namespace {

using sqlhlp::Text;

// TswW02 to TswW16 (a sign character and up to nine characters of digits), then TswF01 to
// TswF10 (20 characters). The installation's statement had the database split each value into
// substr(TswWnn,1,1) and substr(TswWnn,2,9) and read TswW01, which nothing shows; reading the
// value whole and splitting it here gives the same characters with 15 fewer columns and no
// function calls per row.
constexpr int kFirstValueColumn = 1;  // after the badge number the answer belongs to
constexpr int kFirstInfoColumn = 16;
constexpr auto kBalanceColumns = [] {
  std::array<sqlhlp::Column, 26> columns{};
  columns[0] = Text(256);
  for (int n = 2; n <= 16; ++n) columns[kFirstValueColumn + n - 2] = Text(11);
  for (int m = 1; m <= 10; ++m) columns[kFirstInfoColumn + m - 1] = Text(21);
  return columns;
}();

constexpr std::string_view kBalance =
    "select TSWIDN ,TswW02 ,TswW03 ,TswW04 ,TswW05 ,TswW06 ,TswW07 ,TswW08 ,TswW09 ,TswW10 "
    ",TswW11 ,TswW12 ,TswW13 ,TswW14 ,TswW15 ,TswW16 ,TswF01 ,TswF02 ,TswF03 ,TswF04 ,TswF05 "
    ",TswF06 ,TswF07 ,TswF08 ,TswF09 ,TswF10  from KORVADAT.O2002TSW where TSWIDN=:b0";

// One balance value alone, for the files that show one: the row's other columns are not read.
constexpr sqlhlp::Column kOneValueColumns[] = {Text(256), Text(11)};

const BadgeLookup& OneValueLookup(int n) {
  static const std::vector<std::unique_ptr<BadgeLookup>> lookups = [] {
    std::vector<std::unique_ptr<BadgeLookup>> made;
    for (int v = 2; v <= 16; ++v) {
      const std::string column = (v < 10 ? "TswW0" : "TswW") + std::to_string(v);
      made.push_back(std::make_unique<BadgeLookup>(
          "select TSWIDN ," + column + "  from KORVADAT.O2002TSW where TSWIDN=:b0",
          kOneValueColumns));
    }
    return made;
  }();
  return *lookups[n - 2];
}

void ReadBalance(const sqlhlp::Statement& st, BalanceValues& balance) {
  for (int n = 2; n <= 16; ++n) {
    const std::string_view value = st.GetText(kFirstValueColumn + n - 2);
    FormatBalanceValue(value.substr(0, 1), value.substr(std::min<std::size_t>(1, value.size()), 9),
                       balance.value[n]);
  }
  for (int m = 1; m <= 10; ++m)
    FormatInformationText(st.GetText(kFirstInfoColumn + m - 1), balance.info[m]);
}

}  // namespace

void FormatBalanceValue(std::string_view sign, std::string_view digits, std::string& value) {
  // The value's leading blanks, tabs and line feeds go; a value made only of them stays.
  std::size_t start = digits.find_first_not_of(" \t\n");
  if (start != std::string_view::npos) digits.remove_prefix(start);
  digits = digits.substr(0, 6);
  value.assign(6 - digits.size(), ' ');  // "%6.6s"
  value.append(digits);
  // A '+' shows as a blank; so does a missing sign, to keep the value 7 characters.
  value.append(sign.empty() || sign[0] == '+' ? std::string_view(" ") : sign.substr(0, 1));
}

std::string FormatBalanceValue(std::string_view sign, std::string_view digits) {
  std::string value;
  FormatBalanceValue(sign, digits, value);
  return value;
}

void FormatInformationText(std::string_view text, std::string& info) {
  info.assign(text.substr(0, 20));  // "%-20s"
  info.append(20 - info.size(), ' ');
}

std::string FormatInformationText(std::string_view text) {
  std::string info;
  FormatInformationText(text, info);
  return info;
}

int BalanceLookup::LookupBalanceData(BadgeRow& row) {
  static const BadgeLookup lookup(kBalance, kBalanceColumns);
  const BalanceValues* values = nullptr;
  if (onlyValue_ != 0) {
    const int n = onlyValue_;
    auto read = [n](const sqlhlp::Statement& st, BalanceValues& balance) {
      const std::string_view value = st.GetText(1);
      FormatBalanceValue(value.substr(0, 1),
                         value.substr(std::min<std::size_t>(1, value.size()), 9), balance.value[n]);
    };
    const int status = answers_.Find(db_, OneValueLookup(n), row.AswNum, list_, read, &values);
    if (status == sqlhlp::kOk) row.balance.value[n] = values->value[n];
    return status;
  }
  const int status = answers_.Find(db_, lookup, row.AswNum, list_, ReadBalance, &values);
  if (status == sqlhlp::kOk) row.balance = *values;
  return status;
}

int LookupBalanceData(sqlhlp::Connection& db, BadgeRow& row) {
  return BalanceLookup(db).LookupBalanceData(row);
}

}  // namespace zibrolt
