// The night's result for a monitor: a JSON file written whole or not at all, so that a monitor
// never reads half of it, and written on every ending, so that it never shows an earlier
// night's result as this one's.
#pragma once
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/site/job_file.hpp"
#include "tools/site/site_run.hpp"

namespace zibrolt::site {

struct NightTimes {
  std::chrono::system_clock::time_point start, end;
};

// The report: start and end (UTC), the exit status, each job (line, function, terminal, file,
// status, badges read and written, seconds) and the totals. Terminal names and paths are the
// run's Windows-1252 bytes in UTF-8.
std::string NightReport(const std::vector<SiteJob>& jobs, const std::vector<JobOutcome>& outcomes,
                        const NightTimes& times, int exitStatus);

// Puts text in place of the file at path in one step; false, with a line on out, when it
// cannot.
bool WriteNightReport(const std::string& path, const std::string& text, std::FILE* out);

}  // namespace zibrolt::site
