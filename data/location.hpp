// The short text of the badge's location, shown on the terminal beside the badge.
#pragma once
#include <string>
#include <string_view>

#include "client/sqlhlp.hpp"
#include "data/badge_batch.hpp"
#include "data/badges.hpp"

namespace zibrolt {

class PassLookups;

// The location lookup of one run. list is the badge cursor the generator walks: where the
// database prefers batches, the locations of a window of badges are read at once. shared is
// the lookups of the zibrolt-site pass walking list, or nullptr: given, they answer.
class LocationLookup {
 public:
  explicit LocationLookup(sqlhlp::Connection& db, const BadgeCursor* list = nullptr,
                          PassLookups* shared = nullptr);

  // Status 0 with the first 3 characters of the location's StoKtx (empty for a NULL text);
  // 1403 when the badge has no active location; otherwise the database's error.
  Found<std::string_view> FetchLocationText(const BadgeKey& badge);

 private:
  LocationLookup* shared_;  // the pass's own, or nullptr
  BadgeLookup lookup_;
  BadgeAnswers<std::string> answers_;
};

}  // namespace zibrolt
