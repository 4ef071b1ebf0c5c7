// Scratch streams on Windows. The C runtime's tmpfile() makes its file in the root of the
// current drive, where a scheduled task's account may not write, and its mkstemp() keeps the file
// from being opened again: both are made here in the user's temporary folder, shared, and handed
// to the C runtime.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <random>

#include "platform/files.hpp"
#include "platform/streams.hpp"

namespace zibrolt::platform {
namespace {

std::FILE* StreamOf(HANDLE h) {
  const int fd = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(h), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(h);
    return nullptr;
  }
  std::FILE* stream = ::_fdopen(fd, "w+b");
  if (stream == nullptr) ::_close(fd);
  return stream;
}

}  // namespace

std::FILE* OpenScratchStream() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, folder);
  if (n == 0 || n > MAX_PATH) return nullptr;
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring name = std::wstring(folder) + L"zibrolt-" + std::to_wstring(random());
    const HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) return StreamOf(h);
    if (::GetLastError() != ERROR_FILE_EXISTS) return nullptr;
  }
  return nullptr;
}

std::FILE* OpenNamedScratchStream(std::string& stem) {
  const NativeFile file = CreateTemporary(stem);
  if (file == kNoFile) return nullptr;
  std::FILE* stream = StreamOf(reinterpret_cast<HANDLE>(file));
  if (stream == nullptr) RemoveFile(stem);
  return stream;
}

bool OutputOpen(std::FILE* out) {
  // -2: a process without a console has no stream behind its standard handles.
  const int fd = ::_fileno(out);
  const std::intptr_t handle = fd >= 0 ? ::_get_osfhandle(fd) : -1;
  return handle != -1 && handle != -2;
}

}  // namespace zibrolt::platform
#endif
