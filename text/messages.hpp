// Where the lines of one run go: progress and failure lines always, the diagnostic lines of
// "/d" only when they are wanted. Lines are single-byte German text; a value that could hold a
// control byte is printed through Shown() so that a line stays one line.
#pragma once
#include <cstdio>

#include "text/control.hpp"

namespace zibrolt {

class Messages {
 public:
  Messages(std::FILE* out, bool verbose) : out_(out), verbose_(verbose) {}

  // Prints one line (or part of one) with printf formatting.
  __attribute__((format(printf, 2, 3))) void Say(const char* format, ...) const;

  bool verbose() const { return verbose_; }  // "/d": diagnostic lines per badge
  std::FILE* out() const { return out_; }

 private:
  std::FILE* out_;
  bool verbose_;
};

}  // namespace zibrolt
