// Scratch streams on POSIX: the C library's own, and mkstemp for a named one.
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include "platform/files.hpp"
#include "platform/streams.hpp"

namespace zibrolt::platform {

std::FILE* OpenScratchStream() { return std::tmpfile(); }

bool OutputOpen(std::FILE* out) {
  const int fd = ::fileno(out);
  return fd >= 0 && ::fcntl(fd, F_GETFD) != -1;
}

std::FILE* OpenNamedScratchStream(std::string& stem) {
  NativeFile fd = CreateTemporary(stem);
  if (fd == kNoFile) return nullptr;
  std::FILE* stream = ::fdopen(fd, "w+b");
  if (stream == nullptr) {
    CloseFile(fd);
    RemoveFile(stem);
  }
  return stream;
}

}  // namespace zibrolt::platform
#endif
