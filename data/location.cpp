// Location of a badge: its administration row's AwvSto names a Kvd113Sto row.
#include "data/location.hpp"

namespace zibrolt {
namespace {

constexpr sqlhlp::Column kLocationColumns[] = {sqlhlp::Text(11)};
constexpr sqlhlp::Query kLocation{
    "select StoKtx into :b0:b1  from Korvadat.Kvd113Sto ,Korvadat.Kvd113Awv where "
    "(((AwvNum=:b2 and StoNum=AwvSto) and ((AwvSta<>4 and AwvSta<>8) or AwvSta is null )) and "
    "((StoSta<>4 and StoSta<>8) or StoSta is null ))",
    kLocationColumns};

}  // namespace

int FetchLocationText(sqlhlp::Connection& db, BadgeRow& row) {
  sqlhlp::Statement& st = db.Use(kLocation);
  st.BindText(0, row.AswNum);
  int status = st.SelectOne();
  if (status == sqlhlp::kOk) row.location.assign(st.GetText(0).substr(0, 3));
  return status;
}

}  // namespace zibrolt
