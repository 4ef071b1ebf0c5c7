// What one download function does per badge, and what it is given to do it with. The badge
// loop (badge_loop.hpp) walks the badge list and hands each row to the jobs.
#pragma once
#include <memory>
#include <string_view>

#include "client/sqlhlp.hpp"
#include "data/badge_row.hpp"
#include "data/badges.hpp"
#include "data/terminal.hpp"
#include "formats/record_sink.hpp"
#include "text/messages.hpp"

namespace zibrolt {

class PassLookups;

// What a job works with: the connection, its lines, its terminal, its file, the badge list
// being walked (lookups ask for windows of it where that saves round trips), and the lookups
// that all jobs of a zibrolt-site pass over that list share. A single run has none: its jobs
// read only what their files show.
struct JobContext {
  sqlhlp::Connection& db;
  const Messages& messages;
  const TerminalRecord& terminal;
  RecordSink& file;  // where the job's records go
  const BadgeCursor* list;
  PassLookups* shared;  // nullptr outside zibrolt-site; read through, so not const
};

class BadgeJob {
 public:
  virtual ~BadgeJob() = default;
  // Work before the badge list is opened; 0, or the status that fails the job.
  virtual int Begin() { return sqlhlp::kOk; }
  // One row of the badge list (the rows of one badge number come one after another): 1 when
  // the badge went into the file, 0 when not, or a negative status (its line printed) that
  // stops the job.
  virtual int Badge(const BadgeRow& row) = 0;
};

using JobFactory = std::unique_ptr<BadgeJob> (*)(const JobContext& context);

}  // namespace zibrolt
