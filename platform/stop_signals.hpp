// How the operator's or the system's stop reaches a run: SIGTERM, SIGINT and SIGHUP on POSIX,
// Ctrl+C, Ctrl+Break, a closed console, a logoff or a shutdown on Windows. Either way one handler
// gets a signal number (a console event as the signal a terminal would send: Ctrl+C 2, a closed
// console 1, logoff and shutdown 15, Ctrl+Break 21) and either ends the process itself or only
// notes the stop and returns, so that the run ends in order on its own.
#pragma once
#include <cstddef>
#include <cstdio>
#ifndef _WIN32
#include <signal.h>
#endif

namespace zibrolt::platform {

using InterruptHandler = void (*)(int number);

// Routes the stops to handler, except signals the caller ignores (nohup); a broken pipe becomes
// a write error instead of a stop. A handler that returns lets the run go on to its own end; on
// Windows a closed console, a logoff or a shutdown ends the process once the system's grace
// period (some seconds) is over.
void CatchInterrupts(InterruptHandler handler);
// Stops are ignored from now on.
void IgnoreCaughtInterrupts();

// Holds stops back while it lives; a stop that arrives meanwhile is handled when it ends. On POSIX
// it sets the calling thread's signal mask, which a thread started meanwhile inherits for good.
class HeldBack {
 public:
  HeldBack();
  ~HeldBack();
  HeldBack(const HeldBack&) = delete;
  HeldBack& operator=(const HeldBack&) = delete;

 private:
#ifndef _WIN32
  sigset_t previous_;
#endif
};

// The stream a handler may write to (-1 for none). Its lines must reach the caller as they are
// printed: a process that is stopped loses what its buffers hold.
int PrepareOutput(std::FILE* out);

// What a handler may call at any point of the run: remove a file, write bytes as the stream's
// own writes would reach the caller, and end the process with status -1.
void RemoveNow(const char* path);
void WriteNow(int out, const char* data, std::size_t size);
[[noreturn]] void ExitFailedNow();

}  // namespace zibrolt::platform
