// The end of a site run's output: one line per job (records written, status, seconds) and the
// failed jobs named, so that a night's log shows at a glance which terminals lack their files.
#pragma once
#include <cstdio>
#include <vector>

#include "tools/site/job_file.hpp"
#include "tools/site/site_run.hpp"

namespace zibrolt::site {

// Prints the table and the closing line; true when every job succeeded.
bool PrintSummary(const std::vector<SiteJob>& jobs, const std::vector<JobOutcome>& outcomes,
                  std::FILE* out);

}  // namespace zibrolt::site
