// The list of badges valid today, one row per badge and validity period in badge-number order:
// all of them, or, for a terminal with client/licence assignments, those of its clients.
#pragma once
#include "data/badge_row.hpp"
#include "data/terminal.hpp"
#include "frame/sqlhlp.hpp"

namespace zibrolt {

class BadgeCursor {
 public:
  explicit BadgeCursor(sqlhlp::Connection& db) : db_(db) {}

  // Opens the client/licence variant when the terminal's assignment count is above 0, else
  // the all-badges variant. Returns the status of the open.
  int OpenBadgeCursor(const TerminalRecord& terminal);
  // 0: the next row is formatted into row; 1403: no more rows; negative: an error. The caller
  // clears the row before each fetch. A NULL column never carries over a value.
  int FetchBadge(BadgeRow& row);
  int CloseBadgeCursor();

 private:
  sqlhlp::Connection& db_;
  sqlhlp::Statement* cursor_ = nullptr;  // the variant that was opened
};

}  // namespace zibrolt
