// What one run hands to the data queries and the generators: the connection, the download file,
// where messages go and whether the diagnostic lines of "/d" are wanted.
#pragma once
#include <cstdarg>
#include <cstdio>

#include "frame/download_file.hpp"
#include "frame/sqlhlp.hpp"

namespace zibrolt {

struct RunContext {
  sqlhlp::Connection& db;  // the run's one connection
  DownloadFile& file;      // the download file being written
  std::FILE* out;          // progress and error lines (standard output)
  bool verbose;            // "/d": diagnostic lines per badge
};

// Prints one message with printf formatting; messages are single-byte German text.
__attribute__((format(printf, 2, 3))) inline void Say(const RunContext& run, const char* format,
                                                      ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(run.out, format, args);
  va_end(args);
}

}  // namespace zibrolt
