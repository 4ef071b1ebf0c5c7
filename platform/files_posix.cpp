// The file system calls on POSIX: lstat/readlink to follow links, flock on the lock file,
// mkstemp, fsync and rename, and an fsync of the folder so that the rename itself lasts.
#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "platform/files.hpp"
#include "platform/paths.hpp"

namespace zibrolt::platform {
namespace {

constexpr int kMaxLinks = 40;  // as many as the kernel follows before it gives up (ELOOP)

void Fill(const struct stat& st, FileState& state) {
  state.exists = true;
  state.directory = S_ISDIR(st.st_mode);
  state.regular = S_ISREG(st.st_mode);
  state.owner = st.st_uid;
  state.group = st.st_gid;
  state.mode = st.st_mode & 07777;
  state.links = static_cast<unsigned long>(st.st_nlink);
}

// The descriptor N of "/proc/self/fd/N", "/proc/<our pid>/fd/N" or "/dev/fd/N", else -1: the
// links /dev/stdout and the like lead there. What they name is not a file to replace: a pipe
// shows as "pipe:[...]", and a redirected file is the stream the run's own lines go to.
int OwnDescriptor(const std::string& path) {
  std::string_view rest = path;
  const std::string self = "/proc/" + std::to_string(::getpid()) + "/fd/";
  for (std::string_view prefix :
       {std::string_view("/proc/self/fd/"), std::string_view(self), std::string_view("/dev/fd/")}) {
    if (rest.substr(0, prefix.size()) != prefix) continue;
    rest.remove_prefix(prefix.size());
    if (rest.empty() || rest.size() > 9 || rest.find_first_not_of("0123456789") != rest.npos)
      return -1;
    return std::atoi(std::string(rest).c_str());
  }
  return -1;
}

}  // namespace

// A relative link counts from the link's own folder. A dangling link names the file it would
// create.
bool ResolveTarget(const std::string& path, std::string& real, FileState& state) {
  state = FileState{};
  real = path;
  struct stat st {};
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    if (::lstat(real.c_str(), &st) != 0) {
      state.exists = false;
      return errno == ENOENT;
    }
    Fill(st, state);
    if (!S_ISLNK(st.st_mode)) return true;
    if (const int fd = OwnDescriptor(real); fd >= 0) {
      if (::fstat(fd, &st) != 0) return false;
      Fill(st, state);
      state.descriptor = fd;
      return true;
    }
    // Some file systems report links of size 0.
    std::string link(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : PATH_MAX, '\0');
    const ssize_t n = ::readlink(real.c_str(), link.data(), link.size());
    if (n <= 0) return false;
    link.resize(static_cast<std::size_t>(n));
    if (link[0] == '/') {
      real = link;
    } else {
      const std::string folder = FolderOf(real);
      real = (folder == "/" ? "/" : folder + "/") + link;
    }
  }
  return false;
}

bool StateOf(const std::string& path, FileState& state) {
  state = FileState{};
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
  Fill(st, state);
  return true;
}

// In a sticky folder (/tmp and the like) only the file's owner, the folder's owner or root may
// rename over a file; a run that could write into such a file could still not replace it.
bool MayReplace(const std::string& path, const FileState& state) {
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return false;
  struct stat dir {};
  if (::stat(FolderOf(path).c_str(), &dir) != 0) return false;
  if ((dir.st_mode & S_ISVTX) == 0) return true;
  const uid_t me = ::geteuid();
  return me == 0 || state.owner == me || dir.st_uid == me;
}

NativeFile OpenInPlace(const std::string& path, bool create) {
  // Without O_NONBLOCK a pipe that nobody reads would hold the run in open forever; with it, no
  // reader is ENXIO.
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | (create ? O_TRUNC : O_APPEND));
  if (fd < 0) return kNoFile;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return kNoFile;
  }
  return fd;
}

NativeFile DuplicateOpenFile(int descriptor) {
  const int fd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  return fd < 0 ? kNoFile : fd;
}

// The lock is an flock() on the lock file. Its holder removes the file before letting go, so a
// run that waited on the removed file finds the path gone or new after its lock.
LockAttempt TryLock(const std::string& path, NativeFile* held) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return LockAttempt::kFailed;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    struct stat locked {
    }, named{};
    if (::fstat(fd, &locked) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        locked.st_dev == named.st_dev && locked.st_ino == named.st_ino) {
      *held = fd;
      return LockAttempt::kLocked;
    }
    ::close(fd);
    return LockAttempt::kStale;
  }
  const int error = errno;
  ::close(fd);
  if (error == ENOLCK || error == EOPNOTSUPP || error == EINVAL) {
    ::unlink(path.c_str());
    return LockAttempt::kUnsupported;
  }
  return error == EWOULDBLOCK ? LockAttempt::kBusy : LockAttempt::kFailed;
}

void ReleaseLock(const std::string& path, NativeFile& held) {
  if (held < 0) return;
  ::unlink(path.c_str());
  ::close(held);
  held = kNoFile;
}

// A leftover's process is gone; the lock file shares the prefix but has no "PID-" after it.
void RemoveLeftovers(const std::string& path, const std::string& prefix) {
  DIR* dir = ::opendir(FolderOf(path).c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.substr(0, prefix.size()) != prefix) continue;
    char* end = nullptr;
    const long pid = std::strtol(name.data() + prefix.size(), &end, 10);
    if (end == name.data() + prefix.size() || *end != '-') continue;
    if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH))
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

int ProcessId() { return static_cast<int>(::getpid()); }

NativeFile CreateTemporary(std::string& stem) {
  std::string pattern = stem + "XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd >= 0) stem = std::move(pattern);
  return fd < 0 ? kNoFile : fd;
}

// The terminal service reading the file may run as another user: keep owner and group where this
// process may set them (root may; others only their own groups). Before fchmod, since a change
// of owner clears the set-id bits.
bool KeepAccess(NativeFile file, const FileState& state) {
  mode_t mode;
  if (state.exists) {
    if (::fchown(file, static_cast<uid_t>(state.owner), static_cast<gid_t>(state.group)) != 0 &&
        errno != EPERM && errno != EINVAL)
      return false;
    mode = static_cast<mode_t>(state.mode);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(file, mode);
  return true;
}

// An attribute the new file got by itself with the same value (a security label the folder
// hands down) is left alone.
bool CopyAttributes(const std::string& path, NativeFile to, std::string& name, int& error) {
  std::string names;
  for (;;) {
    const ssize_t size = ::listxattr(path.c_str(), nullptr, 0);
    if (size < 0 && (errno == ENOTSUP || errno == ENOSYS)) return true;
    if (size <= 0) {
      error = size < 0 ? errno : 0;
      return size == 0;
    }
    names.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::listxattr(path.c_str(), names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<std::size_t>(got));
      break;
    }
    if (errno != ERANGE) {  // ERANGE: one was added since the size was asked for
      error = errno;
      return false;
    }
  }
  std::string value, present;
  auto read = [](auto get, std::string& into) {
    for (;;) {
      const ssize_t size = get(nullptr, 0);
      if (size < 0) return false;
      into.resize(static_cast<std::size_t>(size));
      const ssize_t got = get(into.data(), into.size());
      if (got >= 0) {
        into.resize(static_cast<std::size_t>(got));
        return true;
      }
      if (errno != ERANGE) return false;
    }
  };
  for (std::size_t at = 0; at < names.size(); at += name.size() + 1) {
    name = names.c_str() + at;
    if (name.empty()) continue;
    if (!read([&](char* b, std::size_t n) { return ::getxattr(path.c_str(), name.c_str(), b, n); },
              value)) {
      if (errno == ENODATA) continue;  // removed since it was listed
      error = errno;
      return false;
    }
    if (read([&](char* b, std::size_t n) { return ::fgetxattr(to, name.c_str(), b, n); },
             present) &&
        present == value)
      continue;
    if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0) {
      error = errno;
      return false;
    }
  }
  return true;
}

bool WriteAll(NativeFile file, const char* data, std::size_t size, int& error) {
  while (size > 0) {
    const ssize_t n = ::write(file, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReadWhole(const std::string& path, const std::function<void(std::string_view)>& sink) {
  const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  char chunk[1 << 16];
  ssize_t n;
  while ((n = ::read(in, chunk, sizeof chunk)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    sink(std::string_view(chunk, static_cast<std::size_t>(n)));
  }
  ::close(in);
  return n == 0;
}

bool SyncAndClose(NativeFile& file, int& error) {
  const int fd = file;
  file = kNoFile;
  if (::fsync(fd) != 0) {
    error = errno;
    ::close(fd);
    return false;
  }
  if (::close(fd) != 0) {
    error = errno;
    return false;
  }
  return true;
}

bool ReplaceTarget(const std::string& temporary, const std::string& target, int& error) {
  if (::rename(temporary.c_str(), target.c_str()) == 0) return true;
  error = errno;
  return false;
}

void SyncFolder(const std::string& folder) {
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

void CloseFile(NativeFile& file) {
  if (file >= 0) ::close(file);
  file = kNoFile;
}

void RemoveFile(const std::string& path) { ::unlink(path.c_str()); }

// Looks before opening, so that no device or FIFO is opened at all, and again at what was
// opened, in case the name was replaced in between. O_NONBLOCK keeps a FIFO from waiting for a
// writer in that window; it does nothing to a regular file.
InputKind OpenRegularInput(const std::string& path, NativeFile* file) {
  auto kind = [](const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return InputKind::kCannotOpen;
    return S_ISREG(st.st_mode) ? InputKind::kRegular : InputKind::kNotRegular;
  };
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return InputKind::kCannotOpen;
  if (InputKind k = kind(st); k != InputKind::kRegular) return k;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return InputKind::kCannotOpen;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return InputKind::kCannotOpen;
  }
  if (InputKind k = kind(st); k != InputKind::kRegular) {
    ::close(fd);
    return k;
  }
  *file = fd;
  return InputKind::kRegular;
}

long ReadSome(NativeFile file, char* buffer, std::size_t size) {
  ssize_t n;
  do n = ::read(file, buffer, size);
  while (n < 0 && errno == EINTR);
  return static_cast<long>(n);
}

std::string FileIdentity(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

NativeFile OpenAppending(const std::string& path, int& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) error = errno;
  return fd < 0 ? kNoFile : fd;
}

bool SyncFile(NativeFile file, int& error) {
  if (::fsync(file) == 0) return true;
  error = errno;
  return false;
}

}  // namespace zibrolt::platform
#endif
