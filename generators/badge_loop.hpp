// The one loop over the badge list: it opens the list, fetches row after row, hands each to the
// jobs, counts, and prints the lines every download function prints at the end of its list.
// Several jobs can share one pass over the list; each has its own lines and result.
#pragma once
#include <span>
#include <string>

#include "data/badges.hpp"
#include "data/client_filter.hpp"
#include "data/terminal.hpp"
#include "generators/badge_job.hpp"
#include "text/messages.hpp"

namespace zibrolt {

// How a download function's loop differs from the others'.
struct LoopStyle {
  // Later rows of a badge number are passed over and not counted (MGDNL17P).
  bool firstRowOfBadge = false;
  // "Ausweiscursor oeffnen/lesen" lines for the open and the end of the list (MGDNL31P).
  bool cursorLines = false;
  // Printed with the status after a failure, unless the access-class list could not grow.
  const char* failureLine = nullptr;
};

// One job of a pass, and its outcome.
struct LoopJob {
  BadgeJob* job;
  const Messages* messages;
  LoopStyle style;
  // The rows of a terminal with assignments in a pass over every badge with its client; nullptr:
  // every row of the list, once.
  ClientFilter* clients = nullptr;
  int rows = 0;              // rows handed to the job, each repeat counted
  long lastBadge = 0;        // which badge number the job was last handed (see the loop)
  int read = 0;              // badges read (rows, or badge numbers when firstRowOfBadge)
  int written = 0;           // badges that went into the file
  int status = sqlhlp::kOk;  // 0 when the list was read to its end, else why the job failed
};

// Walks the list (opened for terminal) once for all jobs. A job that fails stops there; the
// pass ends when the list ends or every job has stopped.
void RunBadgeLoop(BadgeCursor& list, const TerminalRecord& terminal, std::span<LoopJob> jobs);

}  // namespace zibrolt
