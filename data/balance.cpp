// The badge's balances and information texts from O2002TSW, formatted once for every file
// that shows them: a balance value is 7 characters (6 for the value, 1 for the sign), an
// information text 20.
#include "data/balance.hpp"

#include <algorithm>
#include <vector>

#include "data/statements.hpp"
#include "data/pass_lookups.hpp"

namespace zibrolt {
namespace {

using sqlhlp::Text;

// The statement reads the balance values and information texts a file shows, each column whole
// (a value is a sign character and up to nine characters of digits, split here). The
// installation's statement had the database split every value with substr(TswWnn,1,1) and
// substr(TswWnn,2,9) and read TswW01, which nothing shows; reading whole columns and only those
// a file shows gives the same characters with fewer columns and no function calls per row.
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

// The statements of a selection, the single and the window form: the key column (a window's
// place), then the selected columns in order.
struct SelectedStatements {
  std::string single, window;
  std::vector<sqlhlp::Column> outputs, windowOutputs;
};

SelectedStatements SelectedStatement(const BalanceSelection& selection) {
  std::string columns;
  std::vector<sqlhlp::Column> outputs;
  for (int n = 2; n <= 16; ++n) {
    if (!selection.HasValue(n)) continue;
    columns += " ," + ValueColumn(n);
    outputs.push_back(Text(11));
  }
  for (int m = 1; m <= 10; ++m) {
    if (!selection.HasInfo(m)) continue;
    columns += " ," + InfoColumn(m);
    outputs.push_back(Text(21));
  }
  SelectedStatements s;
  s.single = "select TSWIDN" + columns + "  from KORVADAT.O2002TSW where TSWIDN=:b0";
  s.window = "select keys.i" + columns + "  from {keys} ,KORVADAT.O2002TSW where TSWIDN=keys.k";
  s.outputs.assign(1, sqlhlp::Unread());  // the bound number again: not fetched
  s.outputs.insert(s.outputs.end(), outputs.begin(), outputs.end());
  s.windowOutputs.assign(1, sqlhlp::Int());
  s.windowOutputs.insert(s.windowOutputs.end(), outputs.begin(), outputs.end());
  return s;
}

BadgeLookup SelectedLookup(sqlhlp::Connection& db, const BadgeCursor* list,
                           const BalanceSelection& selection) {
  const SelectedStatements s = SelectedStatement(selection);
  return BadgeLookup(db, list, s.single, s.outputs, s.window, s.windowOutputs);
}

}  // namespace

BalanceLookup::BalanceLookup(sqlhlp::Connection& db, const BadgeCursor* list, PassLookups* shared,
                             BalanceSelection selection)
    : shared_(shared ? &shared->balances : nullptr),
      selection_(selection),
      lookup_(SelectedLookup(db, list, selection)) {}

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

Found<const BalanceValues*> BalanceLookup::LookupBalanceData(const BadgeKey& badge) {
  if (shared_) return shared_->LookupBalanceData(badge);
  const BalanceSelection& selection = selection_;
  return answers_.Find(lookup_, badge,
                       [&selection](const sqlhlp::Statement& st, BalanceValues& balance) {
                         ReadSelected(selection, st, balance);
                       });
}

// Every column (the shared pass, MGDNL18P), and the one value of MGDNL17P and of MGDNL60P. The
// subsets MGDNL18P reads per display set are sent only where lookups go badge by badge, to the
// embedded database: through ODBC it reads every column.
void ListBalanceStatements(std::vector<ListedStatement>& out) {
  const SelectedStatements all = SelectedStatement(BalanceSelection::All());
  out.push_back(Listed("Salden", all.single, all.outputs, true));
  out.push_back(ListedWindow("Salden Fenster", all.window, all.windowOutputs));
  struct One {
    int value;
    std::string_view single, window;  // the names listed
  };
  for (const One& o : {One{kMgdnl17pBalanceValue, "Saldo MGDNL17P", "Saldo MGDNL17P Fenster"},
                       One{kMgdnl60pBalanceValue, "Saldo MGDNL60P", "Saldo MGDNL60P Fenster"}}) {
    const SelectedStatements one = SelectedStatement(BalanceSelection::Value(o.value));
    out.push_back(Listed(o.single, one.single, one.outputs, true));
    out.push_back(ListedWindow(o.window, one.window, one.windowOutputs));
  }
}

}  // namespace zibrolt
