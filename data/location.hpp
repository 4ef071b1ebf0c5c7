// The short text of the badge's location, shown on the terminal beside the badge.
#pragma once
#include <string>

#include "data/badge_batch.hpp"
#include "data/badge_row.hpp"
#include "data/badges.hpp"
#include "frame/sqlhlp.hpp"

namespace zibrolt {

// The location lookup of one run. list is the badge cursor the generator walks: where the
// database prefers batches, the locations of a window of badges are read at once.
class LocationLookup {
 public:
  explicit LocationLookup(sqlhlp::Connection& db, const BadgeCursor* list = nullptr)
      : db_(db), list_(list) {}

  // On status 0 puts the first 3 characters of the location's StoKtx into row.location (empty
  // for a NULL text); on any other status (1403: no active location) the row is not changed.
  int FetchLocationText(BadgeRow& row);

 private:
  sqlhlp::Connection& db_;
  const BadgeCursor* list_;
  BadgeAnswers<std::string> answers_;
};

// The same for one badge, without a list ahead.
int FetchLocationText(sqlhlp::Connection& db, BadgeRow& row);

}  // namespace zibrolt
