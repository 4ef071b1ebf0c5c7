// The progress line of a site run on a terminal: jobs done of jobs and badges per second,
// rewritten in place on standard error at most twice a second. Nothing when standard error is
// not a terminal, so that logs of scheduled runs stay clean.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>

namespace zibrolt::site {

class Progress {
 public:
  // err: where the line goes when it is a terminal; nullptr for none.
  Progress(std::FILE* err, std::size_t jobs);

  void StartPass();  // badges per second are those of the pass under way
  void Row();        // one row of the badge list read
  void JobDone();
  void End();  // ends the line

 private:
  void Show();

  using Clock = std::chrono::steady_clock;
  std::FILE* err_;
  std::size_t jobs_;
  std::size_t done_ = 0;
  std::uint64_t rows_ = 0;
  Clock::time_point passStart_;
  Clock::time_point shown_;
  bool printed_ = false;
};

}  // namespace zibrolt::site
