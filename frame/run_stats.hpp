// Benchmark hook: what one run asked of the database, appended to the file that the
// environment variable ZIBROLT_STATS names. Without that variable nothing happens, so the
// tool's output and exit status stay as they are.
#pragma once
#include "client/sqlhlp.hpp"

namespace zibrolt {

// Appends "prepares=P executions=E fetches=F round_trips=R" of the connection's counters when
// it ends its scope, i.e. whichever way the run ends once the database is connected. R counts
// the calls that reach a database server (0 on the embedded database).
class RunStatsReport {
 public:
  explicit RunStatsReport(sqlhlp::Connection& db) : db_(db) {}
  ~RunStatsReport();
  RunStatsReport(const RunStatsReport&) = delete;
  RunStatsReport& operator=(const RunStatsReport&) = delete;

 private:
  sqlhlp::Connection& db_;
};

}  // namespace zibrolt
