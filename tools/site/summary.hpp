// The end of a site run's output: one line per job (records written, status, seconds) and the
// failed jobs named, so that a night's log shows at a glance which terminals lack their files.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "tools/site/job_file.hpp"
#include "tools/site/site_run.hpp"

namespace zibrolt::site {

// Prints the table and the closing line; true when every job succeeded and the run was not
// interrupted (a stop that came after the last job still fails the run, and then the closing
// line does not say that all succeeded).
bool PrintSummary(const std::vector<SiteJob>& jobs, const std::vector<JobOutcome>& outcomes,
                  bool interrupted, std::FILE* out);

// A terminal name as the table shows it: in double quotes when it is empty or holds blanks,
// so that a trailing blank is seen.
std::string ShownTerminal(const std::string& name);

}  // namespace zibrolt::site
