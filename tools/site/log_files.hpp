// Where one job's lines go while its pass runs: a temporary file printed after the job's
// header once the job is done, so that the lines of jobs sharing a pass do not mix; or, when
// asked for, a log file of the job's own.
#pragma once
#include <cstdio>
#include <string>

#include "tools/site/job_file.hpp"

namespace zibrolt::site {

class JobLines {
 public:
  JobLines() = default;
  ~JobLines();
  JobLines(const JobLines&) = delete;
  JobLines& operator=(const JobLines&) = delete;

  // Opens the lines' file (in folder when one is given) and writes the job's header line.
  // False, with a line on out, when it cannot be opened.
  bool Open(const std::string& folder, const SiteJob& job, std::size_t index, std::size_t total,
            std::FILE* out);
  std::FILE* stream() const { return stream_; }

  // Prints the lines on out, or closes the log file. False when they did not all arrive.
  bool Emit(std::FILE* out);
  // Drops the lines, and the log file with them: the job did not run.
  void Discard();

 private:
  std::FILE* stream_ = nullptr;
  bool temporary_ = false;
  std::string path_;  // the log file's, when there is one
};

// The log file's name for a job: its line number, function and terminal, the terminal with
// every character but letters, digits, "-", "_" and "." replaced by "_".
std::string LogFileName(const SiteJob& job);

}  // namespace zibrolt::site
