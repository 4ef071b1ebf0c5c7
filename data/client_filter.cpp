// The terminal's assignment rows, read once; rows of the pass are answered by the number the
// cursor gave their client and licence, so that the text is compared once per client, not per row.
#include "data/client_filter.hpp"

#include "data/statements.hpp"

namespace zibrolt {
namespace {

using sqlhlp::Text;

constexpr sqlhlp::Column kAssignmentColumns[] = {Text(41), Text(41)};
constexpr sqlhlp::Query kAssignments{
    "select TFZMND ,TFZLIZ  from Korvadat.Kvd115Tfz where TfzTrm=:b0", kAssignmentColumns};

}  // namespace

bool ClientFilter::InProgram(sqlhlp::Connection& db) {
  return db.ProveExactJoin({"KVD115TFZ", "TFZMND"}, {"KVD301ASW", "ASWMND"}).exact &&
         db.ProveExactJoin({"KVD115TFZ", "TFZLIZ"}, {"KVD301ASW", "ASWLIZ"}).exact;
}

int ClientFilter::Load(sqlhlp::Connection& db, std::string_view terminal) {
  rows_.clear();
  known_.clear();
  std::string key;
  sqlhlp::Statement& st = db.Use(kAssignments);
  st.BindText(0, terminal);
  int status = st.Open();
  while (status == sqlhlp::kOk && (status = st.Fetch()) == sqlhlp::kOk) {
    if (st.IsNull(0) || st.IsNull(1)) continue;  // equals no badge's client
    MakeClientKey(st, 0, 1, key);
    ++rows_[key];
  }
  st.Close();
  return status == sqlhlp::kNoRow ? sqlhlp::kOk : status;
}

int ClientFilter::Repeats(const BadgeCursor& list) {
  const int client = list.RowClient();
  if (client == BadgeCursor::kNoClient) return 0;
  const auto at = static_cast<std::size_t>(client);
  if (at >= known_.size()) known_.resize(at + 1, -1);
  if (known_[at] < 0) {
    const auto found = rows_.find(list.ClientKey(client));
    known_[at] = found == rows_.end() ? 0 : found->second;
  }
  return known_[at];
}

void ListClientFilterStatements(std::vector<ListedStatement>& out) {
  out.push_back(Listed("Terminalzuordnungen (Mandant, Lizenz)", kAssignments));
}

}  // namespace zibrolt
