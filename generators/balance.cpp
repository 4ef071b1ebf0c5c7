// The badge's balances and information texts from O2002TSW, formatted once for every file
// that shows them: a balance value is 7 characters (6 for the value, 1 for the sign), an
// information text 20.
#include "generators/balance.hpp"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace zibrolt {
namespace {

using sqlhlp::Text;

// The statement reads the balance values and information texts a file shows, each column whole
// (a value is a sign character and up to nine characters of digits, split here). The
// installation's statement had the database split every value with substr(TswWnn,1,1) and
// substr(TswWnn,2,9) and read TswW01, which nothing shows; reading whole columns and only those
// a file shows gives the same characters with fewer columns and no function calls per row.
struct SelectedColumns {
  std::vector<sqlhlp::Column> outputs;  // TSWIDN, then the selected columns in mask order
  std::unique_ptr<BadgeLookup> lookup;
};

std::string ValueColumn(int n) { return (n < 10 ? "TswW0" : "TswW") + std::to_string(n); }
std::string InfoColumn(int m) { return (m < 10 ? "TswF0" : "TswF") + std::to_string(m); }

// Formats the selected columns of the current row into balance.
void ReadSelected(const BalanceSelection& selection, const sqlhlp::Statement& st,
                  BalanceValues& balance) {
  int column = 1;
  for (int n = 2; n <= 16; ++n) {
    if (!selection.HasValue(n)) continue;
    const std::string_view value = st.GetText(column++);
    FormatBalanceValue(value.substr(0, 1), value.substr(std::min<std::size_t>(1, value.size()), 9),
                       balance.value[n]);
  }
  for (int m = 1; m <= 10; ++m)
    if (selection.HasInfo(m)) FormatInformationText(st.GetText(column++), balance.info[m]);
}

}  // namespace

const BadgeLookup& BalanceLookup::LookupFor(const BalanceSelection& selection) {
  static std::map<unsigned long, SelectedColumns> made;
  SelectedColumns& entry = made[selection.bits.to_ulong()];
  if (entry.lookup) return *entry.lookup;
  std::string text = "select TSWIDN";
  entry.outputs.push_back(Text(256));
  for (int n = 2; n <= 16; ++n) {
    if (!selection.HasValue(n)) continue;
    text += " ," + ValueColumn(n);
    entry.outputs.push_back(Text(11));
  }
  for (int m = 1; m <= 10; ++m) {
    if (!selection.HasInfo(m)) continue;
    text += " ," + InfoColumn(m);
    entry.outputs.push_back(Text(21));
  }
  text += "  from KORVADAT.O2002TSW where TSWIDN=:b0";
  entry.lookup = std::make_unique<BadgeLookup>(text, entry.outputs);
  return *entry.lookup;
}

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

BalanceSelection BalanceSelection::All() {
  BalanceSelection all;
  for (int n = 2; n <= 16; ++n) all.AddValue(n);
  for (int m = 1; m <= 10; ++m) all.AddInfo(m);
  return all;
}

BalanceSelection BalanceSelection::Value(int n) {
  BalanceSelection one;
  one.AddValue(n);
  return one;
}

int BalanceLookup::LookupBalanceData(BadgeRow& row) {
  const BalanceSelection& selection = selection_;
  auto read = [&selection](const sqlhlp::Statement& st, BalanceValues& balance) {
    ReadSelected(selection, st, balance);
  };
  const BalanceValues* values = nullptr;
  const int status = answers_.Find(db_, LookupFor(selection_), row.AswNum, list_, read, &values);
  if (status != sqlhlp::kOk) return status;
  for (int n = 2; n <= 16; ++n)
    if (selection_.HasValue(n)) row.balance.value[n] = values->value[n];
  for (int m = 1; m <= 10; ++m)
    if (selection_.HasInfo(m)) row.balance.info[m] = values->info[m];
  return status;
}

int LookupBalanceData(sqlhlp::Connection& db, BadgeRow& row) {
  return BalanceLookup(db).LookupBalanceData(row);
}

}  // namespace zibrolt
