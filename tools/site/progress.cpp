// The progress line: a carriage return and blanks rewrite it; the clock is read only every
// few thousand rows, so that counting costs nothing next to the jobs' work.
#include "tools/site/progress.hpp"

#include <unistd.h>

namespace zibrolt::site {

Progress::Progress(std::FILE* err, std::size_t jobs)
    : err_(err && ::isatty(::fileno(err)) ? err : nullptr), jobs_(jobs) {}

void Progress::StartPass() {
  rows_ = 0;
  passStart_ = Clock::now();
}

void Progress::Row() {
  if (!err_ || (++rows_ & 4095) != 0) return;
  if (Clock::now() - shown_ >= std::chrono::milliseconds(500)) Show();
}

void Progress::JobDone() {
  ++done_;
  if (err_) Show();
}

void Progress::Show() {
  shown_ = Clock::now();
  const double seconds = std::chrono::duration<double>(shown_ - passStart_).count();
  const double rate = seconds > 0 ? static_cast<double>(rows_) / seconds : 0;
  std::fprintf(err_, "\rAuftraege fertig: %zu von %zu, Ausweise/s: %.0f   ", done_, jobs_, rate);
  std::fflush(err_);
  printed_ = true;
}

void Progress::End() {
  if (err_ && printed_) std::fputc('\n', err_);
}

}  // namespace zibrolt::site
