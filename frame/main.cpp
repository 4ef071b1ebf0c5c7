// Entry point of zibrolt: writes one download file for one terminal.
#include <cstdio>
#include <exception>

#include "frame/interrupt_guard.hpp"
#include "frame/run_driver.hpp"

int main(int argc, char** argv) {
  // Before anything is printed: an interrupted run removes its temporary file.
  zibrolt::InstallInterruptHandlers(stdout);
  int status;
  try {
    status = zibrolt::RunDriver(argc, argv, stdout);
  } catch (const std::exception&) {
    // Out of memory, or another failure no step foresaw: the run fails, and the download file
    // is as it was (an unfinished file is discarded as the stack unwinds).
    std::fputs("Programmabbruch: unerwarteter Fehler!\n", stdout);
    status = -1;
  }
  // A line that never reached the caller's log (a full disk, a closed pipe) is a failure too;
  // the run driver has kept the old file then.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) status = -1;
  return status;
}
