// Atomic replacement as databases do it: write a temporary file in the target's folder, check
// every write, fsync, rename over the target, fsync the folder.
#include "frame/download_file.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "client/fault_injection.hpp"

namespace zibrolt {
namespace {

constexpr std::size_t kFlushAt = 1 << 16;

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
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
std::string TemporaryPrefix(const std::string& path) {
  return "." + path.substr(path.find_last_of('/') + 1) + ".zibrolt-";
}

void RemoveLeftovers(const std::string& path) {
  const std::string folder = FolderOf(path);
  const std::string prefix = TemporaryPrefix(path);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.substr(0, prefix.size()) != prefix) continue;
    long pid = std::strtol(name.data() + prefix.size(), nullptr, 10);
    if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH))
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

}  // namespace

std::unique_ptr<DownloadFile> DownloadFile::Open(const std::string& path, bool create) {
  std::unique_ptr<DownloadFile> file(new DownloadFile());
  file->target_ = path;
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return nullptr;
  if (exists && !S_ISREG(st.st_mode)) {
    // Devices and pipes cannot be replaced; they are written as they are.
    file->fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | (create ? O_TRUNC : O_APPEND));
    return file->fd_ < 0 ? nullptr : std::move(file);
  }

  RemoveLeftovers(path);
  std::string pattern =
      FolderOf(path) + "/" + TemporaryPrefix(path) + std::to_string(::getpid()) + "-XXXXXX";
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) return nullptr;
  file->fd_ = fd;
  file->temporary_ = pattern;
  mode_t mode;
  if (exists) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd, mode);
  // Append mode: the new file starts as a copy of the old one. A failure to read it means the
  // file cannot be opened; a failure to write the copy is a write error like any other.
  if (!create && exists && !file->CopyFrom(path)) return nullptr;  // destructor removes it
  return file;
}

DownloadFile::~DownloadFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
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
  if (error_ == 0 && !buffer_.empty()) WriteAll(fd_, buffer_.data(), buffer_.size(), error_);
  buffer_.clear();
}

bool DownloadFile::Commit() {
  Flush();
  if (error_ != 0) return false;
  if (temporary_.empty()) {  // written in place
    committed_ = true;
    return true;
  }
  if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
    error_ = errno;
    fd_ = -1;
    return false;
  }
  fd_ = -1;
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    error_ = errno;
    return false;
  }
  committed_ = true;
  int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace zibrolt
