// The short text of the badge's location, shown on the terminal beside the badge.
#pragma once
#include "data/badge_row.hpp"
#include "frame/sqlhlp.hpp"

namespace zibrolt {

// On status 0 puts the first 3 characters of the location's StoKtx into row.location (empty
// for a NULL text); on any other status (1403: no active location) the row is not changed.
int FetchLocationText(sqlhlp::Connection& db, BadgeRow& row);

}  // namespace zibrolt
