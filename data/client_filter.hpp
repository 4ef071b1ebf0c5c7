// Which rows of the all-badges list a terminal with client/licence assignments receives. Its own
// list joins every assignment row of the terminal (whatever the row's status): a badge row is
// in it once for each assignment row with the badge's client and licence, and not at all when
// either is NULL. A pass that reads the all-badges list with each row's client (BadgeCursor::
// ReadClients) hands a row to such a terminal's jobs that many times.
#pragma once
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "client/sqlhlp.hpp"
#include "data/badges.hpp"

namespace zibrolt {

class ClientFilter {
 public:
  // Whether a pass may hand the rows of the all-badges list to a terminal by this filter: only
  // where the connection proves that the database compares the assignment's client and licence
  // with the badge's as the filter compares them. Otherwise the terminal walks its own list.
  static bool InProgram(sqlhlp::Connection& db);

  // Reads the terminal's assignment rows; 0, or the status of the failed statement.
  int Load(sqlhlp::Connection& db, std::string_view terminal);

  // How many times the row list last delivered is in the terminal's own list.
  int Repeats(const BadgeCursor& list);

 private:
  std::unordered_map<std::string, int> rows_;  // assignment rows per client and licence
  std::vector<int> known_;  // answers by the cursor's client number, -1 until asked
};

}  // namespace zibrolt
