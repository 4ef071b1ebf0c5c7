// Location of a badge: its administration row's AwvSto names a Kvd113Sto row.
#include "data/location.hpp"

#include "data/statements.hpp"
#include "data/pass_lookups.hpp"

namespace zibrolt {
namespace {

// The badge number the row belongs to (a window's place; the single form's is the one bound,
// not fetched), and the short text.
constexpr sqlhlp::Column kLocationColumns[] = {sqlhlp::Unread(), sqlhlp::Text(11)};
constexpr sqlhlp::Column kLocationWindowColumns[] = {sqlhlp::Int(), sqlhlp::Text(11)};
constexpr std::string_view kLocation =
    "select AwvNum ,StoKtx  from Korvadat.Kvd113Sto ,Korvadat.Kvd113Awv where "
    "(((AwvNum=:b0 and StoNum=AwvSto) and ((AwvSta<>4 and AwvSta<>8) or AwvSta is null )) and "
    "((StoSta<>4 and StoSta<>8) or StoSta is null ))";
constexpr std::string_view kLocationWindow =
    "select keys.i ,StoKtx  from {keys} ,Korvadat.Kvd113Sto ,Korvadat.Kvd113Awv where "
    "(((AwvNum=keys.k and StoNum=AwvSto) and ((AwvSta<>4 and AwvSta<>8) or AwvSta is null )) and "
    "((StoSta<>4 and StoSta<>8) or StoSta is null ))";

void ReadLocation(const sqlhlp::Statement& st, std::string& location) {
  location.assign(st.GetText(1).substr(0, 3));
}

}  // namespace

LocationLookup::LocationLookup(sqlhlp::Connection& db, const BadgeCursor* list, PassLookups* shared)
    : shared_(shared ? &shared->locations : nullptr),
      lookup_(db, list, kLocation, kLocationColumns, kLocationWindow, kLocationWindowColumns) {}

Found<std::string_view> LocationLookup::FetchLocationText(const BadgeKey& badge) {
  if (shared_) return shared_->FetchLocationText(badge);
  const Found<const std::string*> found = answers_.Find(lookup_, badge, ReadLocation);
  if (found.status != sqlhlp::kOk) return {found.status, {}};
  return {found.status, *found.value};
}

void ListLocationStatements(std::vector<ListedStatement>& out) {
  out.push_back(Listed("Standort", kLocation, kLocationColumns, true));
  out.push_back(ListedWindow("Standort Fenster", kLocationWindow, kLocationWindowColumns));
}

}  // namespace zibrolt
