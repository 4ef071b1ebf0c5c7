// Stops on POSIX are signals: the handler runs on top of whatever the run was doing, so the
// calls it may make (unlink, write, _exit) are async-signal-safe.
#ifndef _WIN32
#include <pthread.h>
#include <unistd.h>

#include "platform/stop_signals.hpp"

namespace zibrolt::platform {
namespace {

constexpr int kInterrupts[] = {SIGTERM, SIGINT, SIGHUP};

sigset_t InterruptSet() {
  sigset_t set;
  ::sigemptyset(&set);
  for (int s : kInterrupts) ::sigaddset(&set, s);
  return set;
}

}  // namespace

void CatchInterrupts(InterruptHandler handler) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_mask = InterruptSet();  // one interrupt at a time
  for (int s : kInterrupts) {
    // A signal the caller ignores stays ignored: a run started with nohup survives the hangup.
    struct sigaction before {};
    if (::sigaction(s, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    ::sigaction(s, &action, nullptr);
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, nullptr);
}

void IgnoreCaughtInterrupts() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  for (int s : kInterrupts) ::sigaction(s, &ignore, nullptr);
}

// The mask is the calling thread's: the run reads lists ahead on threads of its own, where the
// process-wide call's effect is unspecified.
HeldBack::HeldBack() {
  const sigset_t set = InterruptSet();
  ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

HeldBack::~HeldBack() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

int PrepareOutput(std::FILE* out) {
  const int fd = out != nullptr ? ::fileno(out) : -1;
  if (fd >= 0) std::setvbuf(out, nullptr, _IOLBF, BUFSIZ);
  return fd;
}

void RemoveNow(const char* path) { ::unlink(path); }

void WriteNow(int out, const char* data, std::size_t size) {
  for (const char* end = data + size; out >= 0 && data < end;) {
    const ssize_t n = ::write(out, data, static_cast<std::size_t>(end - data));
    if (n <= 0) break;
    data += n;
  }
}

void ExitFailedNow() { ::_exit(255); }

}  // namespace zibrolt::platform
#endif
