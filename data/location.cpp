// Location of a badge: its administration row's AwvSto names a Kvd113Sto row.
#include "data/location.hpp"

namespace zibrolt {
namespace {

// The badge number the row belongs to, and the short text.
constexpr sqlhlp::Column kLocationColumns[] = {sqlhlp::Text(256), sqlhlp::Text(11)};
constexpr std::string_view kLocation =
    "select AwvNum ,StoKtx  from Korvadat.Kvd113Sto ,Korvadat.Kvd113Awv where "
    "(((AwvNum=:b0 and StoNum=AwvSto) and ((AwvSta<>4 and AwvSta<>8) or AwvSta is null )) and "
    "((StoSta<>4 and StoSta<>8) or StoSta is null ))";

void ReadLocation(const sqlhlp::Statement& st, std::string& location) {
  location.assign(st.GetText(1).substr(0, 3));
}

}  // namespace

int LocationLookup::FetchLocationText(BadgeRow& row) {
  static const BadgeLookup lookup(kLocation, kLocationColumns);
  const std::string* location = nullptr;
  const int status = answers_.Find(db_, lookup, row.AswNum, list_, ReadLocation, &location);
  if (status == sqlhlp::kOk) row.location = *location;
  return status;
}

int FetchLocationText(sqlhlp::Connection& db, BadgeRow& row) {
  return LocationLookup(db).FetchLocationText(row);
}

}  // namespace zibrolt
