// A site run: every job of a jobs file against one connection, and so one read-only view of
// the database, with the jobs that walk the same badge list sharing one pass over it.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "tools/site/job_file.hpp"

namespace zibrolt::site {

struct SiteOptions {
  std::string settingsPath;  // the settings file, relative to the working directory
  std::string logFolder;     // empty: each job's lines go to out after its header
  std::string changesPath;   // the change log every job appends to; empty: none
  bool progress = false;     // a progress line on err
  // Each pass after the first reads in a read-only transaction of its own, begun when it
  // starts, and reads its jobs' terminals again in it: a night longer than the server keeps
  // undo then needs only passes shorter than that, but files of different passes show the
  // database at different moments.
  bool transactionPerPass = false;
};

// What became of one job.
struct JobOutcome {
  bool ok = false;
  int read = 0;          // badges read from its list
  int written = 0;       // badges put into the file
  double seconds = 0;    // from opening its file to putting it in place
  bool started = false;  // false when the run ended before the job's turn
  bool stopped = false;  // interrupted in its pass, its file kept
};

// Runs the jobs and prints their lines; outcomes has one entry per job. Returns false when the
// run could not start (settings, connect: its lines printed) or was interrupted.
bool RunJobs(const SiteOptions& options, const std::vector<SiteJob>& jobs,
             std::vector<JobOutcome>& outcomes, std::FILE* out, std::FILE* err);

// Set from a signal handler: the passes stop at the next badge, every unfinished file stays as
// it was.
void RequestStop();
// Whether a stop was asked for since the process began.
bool StopRequested();

}  // namespace zibrolt::site
