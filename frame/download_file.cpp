// Atomic replacement as databases do it: write a temporary file in the target's folder, check
// every write, fsync, rename over the target, fsync the folder. Runs for the same file take
// turns through a lock file beside it, so that two appends both land.
#include "frame/download_file.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "client/fault_injection.hpp"
#include "frame/interrupts.hpp"

namespace zibrolt {
namespace {

constexpr std::size_t kFlushAt = 1 << 16;
constexpr int kMaxLinks = 40;  // as many as the kernel follows before it gives up (ELOOP)
constexpr auto kLockPoll = std::chrono::milliseconds(50);

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// Follows symbolic links to the file they name, a relative link from the link's own folder, as
// opening the path would. exists is false for a path that names nothing yet (a dangling link
// names the file it would create). False when the chain cannot be followed: a loop, an
// unreadable link, a folder on the way that cannot be searched.
bool Resolve(const std::string& path, std::string& real, struct stat& st, bool& exists) {
  real = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    if (::lstat(real.c_str(), &st) != 0) {
      exists = false;
      return errno == ENOENT;
    }
    exists = true;
    if (!S_ISLNK(st.st_mode)) return true;
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

// In a sticky folder (/tmp and the like) only the file's owner, the folder's owner or root may
// rename over a file; a run that could write into such a file could still not replace it.
bool MayReplace(const struct stat& file, const std::string& folder) {
  struct stat dir {};
  if (::stat(folder.c_str(), &dir) != 0) return false;
  if ((dir.st_mode & S_ISVTX) == 0) return true;
  const uid_t me = ::geteuid();
  return me == 0 || file.st_uid == me || dir.st_uid == me;
}

bool WriteAll(int fd, const char* data, std::size_t size, int& error) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
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

// Temporary files are named ".NAME.zibrolt-PID-XXXXXX" so that a later run can tell the leftovers
// of a killed run (its process is gone) from the file of a run still writing.
std::string TemporaryPrefix(const std::string& path) { return "." + NameOf(path) + ".zibrolt-"; }

void RemoveLeftovers(const std::string& path) {
  const std::string folder = FolderOf(path);
  const std::string prefix = TemporaryPrefix(path);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.substr(0, prefix.size()) != prefix) continue;
    // Only "PID-" follows: the lock file shares the prefix and is never a leftover.
    char* end = nullptr;
    const long pid = std::strtol(name.data() + prefix.size(), &end, 10);
    if (end == name.data() + prefix.size() || *end != '-') continue;
    if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH))
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

}  // namespace

std::unique_ptr<DownloadFile> DownloadFile::Open(const std::string& path, bool create,
                                                 OpenResult* result, int waitSeconds) {
  OpenResult unused;
  OpenResult& why = result != nullptr ? *result : unused;
  why = OpenResult::kCannotOpen;
  std::unique_ptr<DownloadFile> file(new DownloadFile());
  file->target_ = path;
  struct stat st {};
  bool exists = false;
  if (path.empty() || !Resolve(path, file->real_, st, exists)) return nullptr;
  const std::string name = NameOf(file->real_);
  if (name.empty() || name == "." || name == "..") return nullptr;
  if (exists && S_ISDIR(st.st_mode)) return nullptr;
  if (exists && !S_ISREG(st.st_mode)) {
    // Devices and pipes cannot be replaced; they are written as they are. Without O_NONBLOCK a
    // pipe that nobody reads would hold the run in open forever; with it, no reader is ENXIO.
    file->fd_ = ::open(file->real_.c_str(),
                       O_WRONLY | O_NONBLOCK | O_CLOEXEC | (create ? O_TRUNC : O_APPEND));
    if (file->fd_ < 0) return nullptr;
    const int flags = ::fcntl(file->fd_, F_GETFL);
    if (flags < 0 || ::fcntl(file->fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) return nullptr;
    why = OpenResult::kOpened;
    return file;
  }
  why = file->Lock(waitSeconds);
  if (why == OpenResult::kOpened) why = file->Prepare(create);
  if (why != OpenResult::kOpened) return nullptr;  // the destructor removes what was made
  return file;
}

// The lock file ".NAME.zibrolt-lock" beside the real file carries an flock() for as long as a
// run writes the file. Its holder removes it before letting go, so nothing is left behind; a run
// that waited on the removed file finds the path gone or new after its lock and starts over.
DownloadFile::OpenResult DownloadFile::Lock(int waitSeconds) {
  const std::string path = FolderOf(real_) + "/." + NameOf(real_) + ".zibrolt-lock";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
  for (;;) {
    {
      InterruptsHeld held;  // a lock taken is also a lock an interrupt removes
      const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd < 0) return OpenResult::kCannotOpen;
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        struct stat locked {
        }, named{};
        if (::fstat(fd, &locked) == 0 && ::lstat(path.c_str(), &named) == 0 &&
            locked.st_dev == named.st_dev && locked.st_ino == named.st_ino) {
          lockFd_ = fd;
          lock_ = path;
          GuardDownloadFile(target_.c_str(), nullptr, lock_.c_str());
          return OpenResult::kOpened;
        }
        ::close(fd);
        continue;
      }
      const int error = errno;
      ::close(fd);
      if (error == ENOLCK || error == EOPNOTSUPP || error == EINVAL) {
        // A file system without locks (some network mounts) is written as before, unserialised,
        // rather than not at all; no run can hold a lock there, so the file goes again.
        ::unlink(path.c_str());
        return OpenResult::kOpened;
      }
      if (error != EWOULDBLOCK) return OpenResult::kCannotOpen;
    }
    if (std::chrono::steady_clock::now() >= deadline) return OpenResult::kBusy;
    std::this_thread::sleep_for(kLockPoll);
  }
}

void DownloadFile::Unlock() {
  if (lockFd_ < 0) return;
  ::unlink(lock_.c_str());
  ::close(lockFd_);
  lockFd_ = -1;
}

// Under the lock: the old file is looked at only now, since the run that held the lock may just
// have put its file in place, and an append must follow what that run wrote.
DownloadFile::OpenResult DownloadFile::Prepare(bool create) {
  struct stat st {};
  const bool exists = ::stat(real_.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return OpenResult::kCannotOpen;
  if (exists && !S_ISREG(st.st_mode)) return OpenResult::kCannotOpen;
  // The file is replaced, not written; a file the caller could not open for writing must not be
  // replaced either.
  if (exists && (::faccessat(AT_FDCWD, real_.c_str(), W_OK, AT_EACCESS) != 0 ||
                 !MayReplace(st, FolderOf(real_))))
    return OpenResult::kCannotOpen;

  RemoveLeftovers(real_);
  {
    InterruptsHeld held;
    std::string pattern =
        FolderOf(real_) + "/" + TemporaryPrefix(real_) + std::to_string(::getpid()) + "-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return OpenResult::kCannotOpen;
    fd_ = fd;
    temporary_ = std::move(pattern);
    GuardDownloadFile(target_.c_str(), temporary_.c_str(), lock_.empty() ? nullptr : lock_.c_str());
  }
  mode_t mode;
  if (exists) {
    // The terminal service reading the file may run as another user: keep owner and group where
    // this process may set them (root may; others only their own groups). Before fchmod, since
    // a change of owner clears the set-id bits.
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0 && errno != EPERM && errno != EINVAL)
      return OpenResult::kCannotOpen;
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd_, mode);
  // Append mode: the new file starts as a copy of the old one. A failure to read it means the
  // file cannot be opened; a failure to write the copy is a write error like any other.
  if (!create && exists && !CopyFrom(real_)) return OpenResult::kCannotOpen;
  return OpenResult::kOpened;
}

DownloadFile::~DownloadFile() {
  {
    InterruptsHeld held;
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
    GuardDownloadFile(nullptr, nullptr, nullptr);
  }
  Unlock();
}

namespace {

// The test builds' seam fails the Nth write as a full disk would.
bool WriteFails() {
#ifdef ZIBROLT_FAULT_SEAM
  return faults::Hit(faults::Point::kWrite, "download file");
#else
  return false;
#endif
}

}  // namespace

void DownloadFile::Write(std::string_view bytes) {
  if (WriteFails()) error_ = EIO;
  buffer_.append(bytes);
  if (buffer_.size() >= kFlushAt) Flush();
}

void DownloadFile::WriteText(std::string_view text) {
  if (WriteFails()) error_ = EIO;
  for (char c : text) {
    if (c == '\n') buffer_.push_back('\r');
    buffer_.push_back(c);
  }
  if (buffer_.size() >= kFlushAt) Flush();
}

bool DownloadFile::CopyFrom(const std::string& path) {
  int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  char chunk[1 << 16];
  ssize_t n;
  while ((n = ::read(in, chunk, sizeof chunk)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    Write(std::string_view(chunk, static_cast<std::size_t>(n)));
  }
  ::close(in);
  return n == 0;
}

void DownloadFile::Flush() {
  // With SIGPIPE ignored, a pipe whose reader quit fails here with EPIPE like any write error.
  if (error_ == 0 && !buffer_.empty()) WriteAll(fd_, buffer_.data(), buffer_.size(), error_);
  buffer_.clear();
}

bool DownloadFile::Commit() {
  Flush();
  if (error_ != 0) return false;
  if (temporary_.empty()) {  // written in place
    committed_ = true;
    IgnoreInterrupts();
    return true;
  }
  if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
    error_ = errno;
    fd_ = -1;
    return false;
  }
  fd_ = -1;
  {
    // The rename and the end of the guard go together: an interrupt before them removes the
    // temporary file, one after them finds the run done.
    InterruptsHeld held;
    if (::rename(temporary_.c_str(), real_.c_str()) != 0) {
      error_ = errno;
      return false;
    }
    committed_ = true;
    IgnoreInterrupts();
  }
  int dir = ::open(FolderOf(real_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  Unlock();
  return true;
}

}  // namespace zibrolt
