// The badge lookups that do not depend on the terminal, shared by all jobs of one pass over the
// badge list: each badge's classes, location, balance row and own display set are read once per
// pass however many terminals' files the pass writes, a window of badges at a time where the
// database prefers batches. Memory stays that of one window, whatever the number of jobs.
// zibrolt-site hands them to each job of the pass (JobContext::shared), whose lookups take them
// as they are made; a single run has none, and its lookups read only what its file shows.
#pragma once
#include "client/sqlhlp.hpp"
#include "data/badges.hpp"
#include "data/balance.hpp"
#include "data/checks.hpp"
#include "data/display_texts.hpp"
#include "data/location.hpp"

namespace zibrolt {

class PassLookups {
 public:
  // Its own lookups are given none to share: they are the ones that read from the database.
  PassLookups(sqlhlp::Connection& db, const BadgeCursor& list)
      : classes(db, &list),
        locations(db, &list),
        balances(db, &list, nullptr, BalanceSelection::All()),
        displayTexts(db, &list) {}
  PassLookups(const PassLookups&) = delete;
  PassLookups& operator=(const PassLookups&) = delete;

  BadgeClassLookup classes;
  LocationLookup locations;
  BalanceLookup balances;     // every value and text; a job takes those it shows
  DisplayTexts displayTexts;  // badges' own sets (MGDNL18P)
};

}  // namespace zibrolt
