// The list is gathered from the lookups' own constants, so it cannot drift from what they send.
#include "data/statements.hpp"

#include "backends/join_proof.hpp"
#include "backends/odbc.hpp"
#include "backends/sql_dialect.hpp"
#include "data/badge_batch.hpp"
#include "data/bind_probe.hpp"

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
    // What the server receives: the embedded-SQL into-list is the client's, not the server's.
    script.append("-- ").append(s.name).append("\n").append(RemoveIntoList(s.text)).append("\n/\n");
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

std::vector<ListedStatement> ConnectionStatements() {
  std::vector<ListedStatement> all;
  // The schema an installation's settings name; the tools have always read KORVADAT.
  static const std::string schemaSwitch = std::string(backend::kOracleSchemaSwitch) + "KORVADAT";
  all.push_back(Listed("Lesetransaktion", backend::kOracleReadOnly, {}));
  all.push_back(Listed("Schema", schemaSwitch, {}));
  ListBindProbeStatements(all);  // its catalog read is the join proofs' too
  all.push_back(Listed("Sitzungseinstellung", backend::kOracleSessionSetting,
                       backend::kOracleSessionSettingColumns));
  return all;
}

}  // namespace zibrolt
