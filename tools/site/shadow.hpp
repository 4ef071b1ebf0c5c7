// A shadow night (--shadow DIR): the jobs write their files under DIR while the old program still
// writes the live ones, and each shadow file is then compared with its live file record by
// record, so that a site switches a job only after the two programs agree night after night.
// The live files, their folders and their locks are only read.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/site/job_file.hpp"
#include "tools/site/site_run.hpp"

namespace zibrolt::site {

// The report with each differing job's first differences, in the shadow folder. Its name does
// not start with a digit, so no shadow file can take it.
inline constexpr const char* kShadowReportName = "shadow-report.txt";

// The name under the shadow folder of a file whose first job is job: that job's line number
// ("%04d"), a "-" and the file's own name with every byte but A-Z a-z 0-9 - _ . as %XX. Line
// numbers are unique in a jobs file and the part before the first "-" is the number, so two
// files never share a name; jobs that append to one file share its first job's name.
std::string ShadowFileName(const SiteJob& job);

// Points every job at its shadow file under folder (created when missing) and returns each
// job's live path in live. An appending job's shadow file starts as a copy of its live file, or
// not at all when there is none. False, with a line on out, when the folder cannot be made, is
// the folder of a live file, or a copy fails: then nothing may run.
bool PrepareShadow(const std::string& folder, std::vector<SiteJob>& jobs,
                   std::vector<std::string>& live, std::FILE* out);

struct ShadowCounts {
  std::size_t jobs = 0;
  std::size_t same = 0;
  std::size_t different = 0;  // a missing live file too: the programs do not agree
  std::size_t failed = 0;     // the shadow job failed or did not run
  bool reported = true;       // the report was written
};

// Compares every job's shadow file with its live file, prints a line per job and the total
// line on out, and writes the report into folder.
ShadowCounts CompareShadow(const std::string& folder, const std::vector<SiteJob>& jobs,
                           const std::vector<std::string>& live,
                           const std::vector<JobOutcome>& outcomes, std::FILE* out);

// 0 when every file is the same, 1 when any differs, -1 when a job failed or the report could
// not be written (a site must not read last night's report as tonight's).
int ShadowStatus(const ShadowCounts& counts);

// Appends the night's line "yyyy-mm-dd hh:mm:ss,JOBS,SAME,DIFFERENT,FAILED" and CR LF (local
// time) in one write. False, with a line on out, when it cannot be written.
bool AppendShadowLedger(const std::string& path, const ShadowCounts& counts, std::FILE* out);

}  // namespace zibrolt::site
