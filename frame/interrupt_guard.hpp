// How a run ends when the operator or the system stops it: SIGTERM, SIGINT and SIGHUP (on Windows
// Ctrl+C, Ctrl+Break and a closed console) remove the temporary and lock files of the download
// file being written, print one line and exit -1, so that no half-written file of several MB
// stays beside the target. SIGPIPE is ignored: a reader of a pipe that quits early then shows as
// the write error it is.
#pragma once
#include <cstdio>

#include "platform/stop_signals.hpp"

namespace zibrolt {

// Called first thing by a run, before anything is printed on out. Signals the caller ignores
// (nohup) stay ignored. out becomes line-buffered, so that the lines printed before an interrupt
// reach the log ahead of its line instead of being lost with the process.
void InstallInterruptHandlers(std::FILE* out);

// Names the files an interrupt removes (temporary, lock) and the download file its line names
// (target); nullptr for none. The strings must stay unchanged until the next call. With a
// temporary file the line says that the download file stays as it was; without one it names the
// signal only. One download file per run.
void GuardDownloadFile(const char* target, const char* temporary, const char* lock);

// Once the download file is in place the run has done its work: later interrupts are ignored,
// so that exit status -1 keeps meaning "the file is as it was". Only after
// InstallInterruptHandlers; otherwise nothing changes.
void IgnoreInterrupts();

// Holds the interrupts back while it lives, so that a file is created or replaced
// together with its entry in the guard: an interrupt in between would leave it behind.
class InterruptsHeld {
 public:
  InterruptsHeld() = default;
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  platform::HeldBack held_;
};

}  // namespace zibrolt
