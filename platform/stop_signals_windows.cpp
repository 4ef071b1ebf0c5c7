// Stops on Windows are console events, handled on a thread of their own while the run goes on.
// The handler waits for what is held back, writes straight to the output's handle (the C
// runtime's stream lock may be held by the run) and ends the process at once, or it only notes
// the stop for the run to see.
#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "platform/stop_signals.hpp"

namespace zibrolt::platform {
namespace {

std::atomic<InterruptHandler> gHandler{nullptr};
std::atomic<bool> gIgnored{false};

std::recursive_mutex& HeldMutex() {
  static std::recursive_mutex held;
  return held;
}

int SignalOf(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      return 2;  // SIGINT
    case CTRL_BREAK_EVENT:
      return 21;  // SIGBREAK
    case CTRL_CLOSE_EVENT:
      return 1;  // a hangup
    default:
      return 15;  // logoff, shutdown: SIGTERM
  }
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  const InterruptHandler handler = gHandler.load();
  if (handler == nullptr) return FALSE;
  if (gIgnored) return TRUE;
  HeldMutex().lock();  // released only by a handler that returns
  if (gIgnored) {
    HeldMutex().unlock();
    return TRUE;
  }
  handler(SignalOf(event));
  // The handler only noted the stop. Ctrl+C and Ctrl+Break let the process go on; after the
  // other events the system ends it as soon as this returns, so this thread waits for the run
  // to end on its own within the grace period.
  HeldMutex().unlock();
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) ::Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void CatchInterrupts(InterruptHandler handler) {
  gHandler = handler;
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void IgnoreCaughtInterrupts() { gIgnored = true; }

HeldBack::HeldBack() { HeldMutex().lock(); }
HeldBack::~HeldBack() { HeldMutex().unlock(); }

// The C runtime buffers a "line-buffered" stream fully; unbuffered, each line goes out as it is
// printed. The stream stays in text mode: "\n" reaches the caller as CR LF.
int PrepareOutput(std::FILE* out) {
  const int fd = out != nullptr ? ::_fileno(out) : -1;
  if (fd >= 0) std::setvbuf(out, nullptr, _IONBF, 0);
  return fd;
}

void RemoveNow(const char* path) { ::DeleteFileA(path); }

// As the text-mode stream would: each "\n" as CR LF.
void WriteNow(int out, const char* data, std::size_t size) {
  if (out < 0) return;
  const HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(out));
  if (h == INVALID_HANDLE_VALUE) return;
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') text.push_back('\r');
    text.push_back(data[i]);
  }
  DWORD written = 0;
  ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void ExitFailedNow() {
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(-1));
  for (;;) {
  }
}

}  // namespace zibrolt::platform
#endif
