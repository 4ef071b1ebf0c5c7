// The list is gathered from the lookups' own constants, so it cannot drift from what they send.
#include "data/statements.hpp"

namespace zibrolt {

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
