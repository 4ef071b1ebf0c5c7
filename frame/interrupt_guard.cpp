// The interrupt handler runs at any point of the run, so it touches only what was stored
// beforehand and calls only what the platform allows there (remove a file, write, exit).
#include "frame/interrupt_guard.hpp"

#include <atomic>

namespace zibrolt {
namespace {

std::atomic<const char*> gTarget{nullptr};
std::atomic<const char*> gTemporary{nullptr};
std::atomic<const char*> gLock{nullptr};
std::atomic<int> gOut{-1};
std::atomic<bool> gInstalled{false};

// Appends text to the line, control bytes as \xNN so that the line stays one line; stops short of
// end.
void Append(char*& at, const char* end, const char* text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (; *text != '\0'; ++text) {
    const auto c = static_cast<unsigned char>(*text);
    const bool control = c < 0x20 || c == 0x7F;
    if (end - at < (control ? 4 : 1)) return;
    if (control) {
      *at++ = '\\';
      *at++ = 'x';
      *at++ = kHex[c >> 4];
      *at++ = kHex[c & 0xF];
    } else {
      *at++ = static_cast<char>(c);
    }
  }
}

extern "C" void OnInterrupt(int signal) {
  const char* target = gTarget.load();
  const char* temporary = gTemporary.load();
  const char* lock = gLock.load();
  if (temporary != nullptr) platform::RemoveNow(temporary);
  if (lock != nullptr) platform::RemoveNow(lock);  // our lock dies with the process a moment later

  char line[4400];
  char* at = line;
  const char* end = line + sizeof line - 32;  // room for the line's end
  char number[4] = {};
  number[0] = static_cast<char>('0' + signal / 10 % 10);
  number[1] = static_cast<char>('0' + signal % 10);
  Append(at, end, "Programmabbruch: Signal ");
  Append(at, end, signal < 10 ? number + 1 : number);
  if (temporary != nullptr && target != nullptr) {
    Append(at, end, " empfangen, Downloaddatei ");
    Append(at, end, target);
    Append(at, line + sizeof line - 1, " bleibt unveraendert!");
  } else {
    Append(at, line + sizeof line - 1, " empfangen!");
  }
  *at++ = '\n';
  platform::WriteNow(gOut.load(), line, static_cast<std::size_t>(at - line));
  platform::ExitFailedNow();
}

}  // namespace

void InstallInterruptHandlers(std::FILE* out) {
  gOut = platform::PrepareOutput(out);
  platform::CatchInterrupts(OnInterrupt);
  gInstalled = true;
}

void GuardDownloadFile(const char* target, const char* temporary, const char* lock) {
  gTarget = target;
  gTemporary = temporary;
  gLock = lock;
}

void IgnoreInterrupts() {
  GuardDownloadFile(nullptr, nullptr, nullptr);
  if (!gInstalled) return;
  platform::IgnoreCaughtInterrupts();
}

}  // namespace zibrolt
