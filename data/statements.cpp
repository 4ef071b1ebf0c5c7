// The list is gathered from the lookups' own constants, so it cannot drift from what they send.
#include "data/statements.hpp"

#include "data/badge_batch.hpp"

namespace zibrolt {

ListedStatement ListedWindow(std::string_view name, std::string_view window,
                             std::span<const sqlhlp::Column> outputs) {
  ListedStatement s = Listed(name, WindowStatement(window, kBadgeWindow), outputs);
  s.places = kBadgeWindow;
  return s;
}

std::string StatementScript(const std::vector<ListedStatement>& statements,
                            std::string_view title) {
  std::string script;
  if (!title.empty()) script.append("-- ").append(title).append("\n");
  for (const ListedStatement& s : statements)
    script.append("-- ").append(s.name).append("\n").append(s.text).append("\n/\n");
  return script;
}

std::vector<ListedStatement> DataStatements() {
  std::vector<ListedStatement> all;
  ListTerminalStatements(all);
  ListBadgeStatements(all);
  ListClientFilterStatements(all);
  ListCheckStatements(all);
  ListLocationStatements(all);
  ListBalanceStatements(all);
  ListDisplayTextStatements(all);
  return all;
}

}  // namespace zibrolt
