// The file system calls on Windows. Paths arrive in the ANSI code page, as the command line and
// the settings file give them, and are widened with it, so that umlauts name the same files as
// in Explorer. The temporary and lock files are opened with delete sharing, so that the console
// handler can remove them while they are open.
#ifdef _WIN32
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <random>

#include "platform/files.hpp"
#include "platform/paths.hpp"

namespace zibrolt::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

HANDLE H(NativeFile file) { return reinterpret_cast<HANDLE>(file); }
NativeFile N(HANDLE handle) { return reinterpret_cast<NativeFile>(handle); }

// The few error codes the caller tells apart, in errno terms.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    default:
      return EIO;
  }
}

bool NotThere(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

// Windows follows links itself when a file is opened; the path is used as given.
bool ResolveTarget(const std::string& path, std::string& real, FileState& state) {
  real = path;
  return StateOf(path, state);
}

bool StateOf(const std::string& path, FileState& state) {
  state = FileState{};
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return NotThere(::GetLastError());
  state.exists = true;
  state.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  state.regular = !state.directory && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
  state.mode = attributes;
  return true;
}

// A read-only file is not replaced; whether the folder lets us is seen when the temporary file
// is made there.
bool MayReplace(const std::string& path, const FileState& state) {
  if ((state.mode & FILE_ATTRIBUTE_READONLY) != 0) return false;
  const HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  return true;
}

NativeFile OpenInPlace(const std::string& path, bool create) {
  const HANDLE h = ::CreateFileW(Wide(path).c_str(), create ? GENERIC_WRITE : FILE_APPEND_DATA,
                                 kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? kNoFile : N(h);
}

// LockFileEx on the first byte of the lock file. The holder removes the file while it still has
// it open; a run that waited then finds the path gone or pending deletion and starts over.
LockAttempt TryLock(const std::string& path, NativeFile* held) {
  const std::wstring name = Wide(path);
  const HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    // A lock file pending deletion refuses to be opened: its holder is letting go.
    const DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED &&
        ::GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES)
      return LockAttempt::kBusy;
    return LockAttempt::kFailed;
  }
  OVERLAPPED at{};
  if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(h);
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? LockAttempt::kBusy
                                                                      : LockAttempt::kFailed;
  }
  // Still the file the path names?
  BY_HANDLE_FILE_INFORMATION locked{}, named{};
  const HANDLE again = ::CreateFileW(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  bool same = false;
  if (again != INVALID_HANDLE_VALUE) {
    same = ::GetFileInformationByHandle(h, &locked) &&
           ::GetFileInformationByHandle(again, &named) &&
           locked.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
           locked.nFileIndexHigh == named.nFileIndexHigh &&
           locked.nFileIndexLow == named.nFileIndexLow;
    ::CloseHandle(again);
  }
  if (!same) {
    ::CloseHandle(h);
    return LockAttempt::kStale;
  }
  *held = N(h);
  return LockAttempt::kLocked;
}

void ReleaseLock(const std::string& path, NativeFile& held) {
  if (held == kNoFile) return;
  ::DeleteFileW(Wide(path).c_str());
  ::CloseHandle(H(held));
  held = kNoFile;
}

void RemoveLeftovers(const std::string& path, const std::string& prefix) {
  const std::string folder = FolderOf(path);
  WIN32_FIND_DATAA found;
  const HANDLE search = ::FindFirstFileA((folder + "\\" + prefix + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    if (end == name.c_str() + prefix.size() || *end != '-') continue;
    bool gone = pid <= 0;
    if (!gone) {
      const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
      gone = process == nullptr ? ::GetLastError() == ERROR_INVALID_PARAMETER
                                : ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
      if (process != nullptr) ::CloseHandle(process);
    }
    if (gone) ::DeleteFileA((folder + "\\" + name).c_str());
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
}

int ProcessId() { return static_cast<int>(::GetCurrentProcessId()); }

NativeFile CreateTemporary(std::string& stem) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = stem;
    for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    const HANDLE h = ::CreateFileW(Wide(name).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                   nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      stem = std::move(name);
      return N(h);
    }
    if (::GetLastError() != ERROR_FILE_EXISTS) return kNoFile;
  }
  return kNoFile;
}

// ReplaceFileW carries the old file's attributes and access rights over to the new one.
bool KeepAccess(NativeFile, const FileState&) { return true; }

// NTFS keeps a file's security descriptor in the folder's inheritance, and the replacement
// inherits the same; there are no extended attributes to carry over.
bool CopyAttributes(const std::string&, NativeFile, std::string&, int&) { return true; }

NativeFile DuplicateOpenFile(int) { return kNoFile; }

bool WriteAll(NativeFile file, const char* data, std::size_t size, int& error) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(H(file), data, chunk, &written, nullptr)) {
      error = ErrnoOf(::GetLastError());
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool ReadWhole(const std::string& path, const std::function<void(std::string_view)>& sink) {
  const HANDLE in = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  std::string chunk(1 << 16, '\0');
  bool ok;
  DWORD n = 0;
  while ((ok = ::ReadFile(in, chunk.data(), static_cast<DWORD>(chunk.size()), &n, nullptr)) &&
         n > 0)
    sink(std::string_view(chunk.data(), n));
  ::CloseHandle(in);
  return ok;
}

bool SyncAndClose(NativeFile& file, int& error) {
  const HANDLE h = H(file);
  file = kNoFile;
  const bool flushed = ::FlushFileBuffers(h) != 0;
  if (!flushed) error = ErrnoOf(::GetLastError());
  ::CloseHandle(h);
  return flushed;
}

// ReplaceFileW keeps the old file's creation time, attributes and access rights; a new target
// is moved into place. Both reach the disk before the call returns.
bool ReplaceTarget(const std::string& temporary, const std::string& target, int& error) {
  const std::wstring from = Wide(temporary), to = Wide(target);
  if (::GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES &&
      ::ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
    return true;
  }
  if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  error = ErrnoOf(::GetLastError());
  return false;
}

void SyncFolder(const std::string&) {}  // MOVEFILE_WRITE_THROUGH did it

void CloseFile(NativeFile& file) {
  if (file != kNoFile) ::CloseHandle(H(file));
  file = kNoFile;
}

void RemoveFile(const std::string& path) { ::DeleteFileW(Wide(path).c_str()); }

InputKind OpenRegularInput(const std::string& path, NativeFile* file) {
  FileState state;
  if (!StateOf(path, state) || !state.exists || state.directory) return InputKind::kCannotOpen;
  if (!state.regular) return InputKind::kNotRegular;
  const HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return InputKind::kCannotOpen;
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    return InputKind::kNotRegular;
  }
  *file = N(h);
  return InputKind::kRegular;
}

long ReadSome(NativeFile file, char* buffer, std::size_t size) {
  DWORD n = 0;
  if (!::ReadFile(H(file), buffer, static_cast<DWORD>(size), &n, nullptr)) return -1;
  return static_cast<long>(n);
}

std::string FileIdentity(const std::string& path) {
  // No access asked, every sharing allowed: looking does not get in anybody's way.
  HANDLE file =
      ::CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileInformationByHandle(file, &info) != 0;
  ::CloseHandle(file);
  if (!known) return {};
  return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) +
         ":" + std::to_string(info.nFileIndexLow);
}

// FILE_APPEND_DATA without FILE_WRITE_DATA: the system puts every write at the end of the file
// in one step, as O_APPEND does.
NativeFile OpenAppending(const std::string& path, int& error) {
  const HANDLE h = ::CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE, kShareAll,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) error = ErrnoOf(::GetLastError());
  return h == INVALID_HANDLE_VALUE ? kNoFile : N(h);
}

bool SyncFile(NativeFile file, int& error) {
  if (::FlushFileBuffers(H(file))) return true;
  error = ErrnoOf(::GetLastError());
  return false;
}

}  // namespace zibrolt::platform
#endif
