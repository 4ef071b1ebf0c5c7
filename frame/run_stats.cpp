// Writes the run's database counters for the benchmark (bench/run.sh).
#include "frame/run_stats.hpp"

#include <cstdio>
#include <cstdlib>

namespace zibrolt {

RunStatsReport::~RunStatsReport() {
  const char* path = std::getenv("ZIBROLT_STATS");
  if (!path || !*path) return;
  // A file that cannot be written costs the benchmark its line, never the run its result.
  std::FILE* out = std::fopen(path, "a");
  if (!out) return;
  const sqlhlp::Counters& c = db_.counters();
  std::fprintf(out, "prepares=%llu executions=%llu fetches=%llu round_trips=%llu\n",
               static_cast<unsigned long long>(c.prepares),
               static_cast<unsigned long long>(c.executions),
               static_cast<unsigned long long>(c.fetches),
               static_cast<unsigned long long>(db_.RoundTrips()));
  std::fclose(out);
}

}  // namespace zibrolt
