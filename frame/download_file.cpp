// Atomic replacement as databases do it: write a temporary file in the target's folder, check
// every write, put it on disk, replace the target in one step, make the folder's entry last.
// Runs for the same file take turns through a lock file beside it, so that two appends both land.
#include "frame/download_file.hpp"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "client/fault_injection.hpp"
#include "frame/change_log.hpp"
#include "frame/interrupt_guard.hpp"
#include "platform/paths.hpp"
#include "text/control.hpp"

namespace zibrolt {
namespace {

using platform::FolderOf;
using platform::NameOf;

constexpr std::size_t kFlushAt = 1 << 16;
// The buffer is made once for the writes until the next flush (a record or line is far shorter
// than the slack), so that it never grows to twice its size: zibrolt-site holds one per job.
constexpr std::size_t kBufferSize = kFlushAt + (1 << 12);
constexpr auto kLockPoll = std::chrono::milliseconds(50);

// Temporary files are named ".NAME.zibrolt-PID-XXXXXX" so that a later run can tell the leftovers
// of a killed run (its process is gone) from the file of a run still writing.
std::string TemporaryPrefix(const std::string& path) { return "." + NameOf(path) + ".zibrolt-"; }

}  // namespace

std::unique_ptr<DownloadFile> DownloadFile::Open(const std::string& path, bool create,
                                                 OpenResult* result, int waitSeconds,
                                                 std::string* reason) {
  OpenResult unused;
  OpenResult& why = result != nullptr ? *result : unused;
  why = OpenResult::kCannotOpen;
  std::unique_ptr<DownloadFile> file(new DownloadFile());
  file->buffer_.reserve(kBufferSize);
  file->target_ = path;
  platform::FileState st;
  if (path.empty() || !platform::ResolveTarget(path, file->real_, st)) return nullptr;
  const std::string name = NameOf(file->real_);
  if (name.empty() || name == "." || name == "..") return nullptr;
  if (st.exists && st.directory) return nullptr;
  if (st.descriptor >= 0) {
    file->fd_ = platform::DuplicateOpenFile(st.descriptor);
    if (file->fd_ == platform::kNoFile) return nullptr;
    why = OpenResult::kOpened;
    return file;
  }
  if (st.exists && !st.regular) {
    // Devices and pipes cannot be replaced; they are written as they are.
    file->fd_ = platform::OpenInPlace(file->real_, create);
    if (file->fd_ == platform::kNoFile) return nullptr;
    why = OpenResult::kOpened;
    return file;
  }
  why = file->Lock(waitSeconds);
  if (why == OpenResult::kOpened) why = file->Prepare(create);
  if (why != OpenResult::kOpened) {
    if (reason) *reason = file->reason_;
    return nullptr;  // the destructor removes what was made
  }
  return file;
}

// The lock file ".NAME.zibrolt-lock" beside the real file is locked for as long as a run writes
// the file. Its holder removes it before letting go, so nothing is left behind; a run that
// waited on the removed file finds the path gone or new after its lock and starts over.
DownloadFile::OpenResult DownloadFile::Lock(int waitSeconds) {
  const std::string path = FolderOf(real_) + "/." + NameOf(real_) + ".zibrolt-lock";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
  for (;;) {
    {
      InterruptsHeld held;  // a lock taken is also a lock an interrupt removes
      platform::NativeFile fd = platform::kNoFile;
      switch (platform::TryLock(path, &fd)) {
        case platform::LockAttempt::kLocked:
          lockFd_ = fd;
          lock_ = path;
          GuardDownloadFile(target_.c_str(), nullptr, lock_.c_str());
          return OpenResult::kOpened;
        case platform::LockAttempt::kStale:
          continue;
        case platform::LockAttempt::kUnsupported:
          // A file system without locks (some network mounts) is written as before,
          // unserialised, rather than not at all; no run can hold a lock there.
          return OpenResult::kOpened;
        case platform::LockAttempt::kFailed:
          return OpenResult::kCannotOpen;
        case platform::LockAttempt::kBusy:
          break;
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) return OpenResult::kBusy;
    std::this_thread::sleep_for(kLockPoll);
  }
}

void DownloadFile::Unlock() {
  if (lockFd_ == platform::kNoFile) return;
  platform::ReleaseLock(lock_, lockFd_);
}

// Under the lock: the old file is looked at only now, since the run that held the lock may just
// have put its file in place, and an append must follow what that run wrote.
DownloadFile::OpenResult DownloadFile::Prepare(bool create) {
  platform::FileState st;
  if (!platform::StateOf(real_, st)) return OpenResult::kCannotOpen;
  const bool exists = st.exists;
  if (exists && !st.regular) return OpenResult::kCannotOpen;
  // The file is replaced, not written; a file the caller could not open for writing must not be
  // replaced either.
  if (exists && !platform::MayReplace(real_, st)) return OpenResult::kCannotOpen;
  if (exists && st.links > 1) {
    reason_ = "sie hat " + std::to_string(st.links) +
              " Namen (harte Links), die anderen behielten den alten Inhalt";
    return OpenResult::kRefused;
  }

  platform::RemoveLeftovers(real_, TemporaryPrefix(real_));
  {
    InterruptsHeld held;
    std::string name = FolderOf(real_) + "/" + TemporaryPrefix(real_) +
                       std::to_string(platform::ProcessId()) + "-";
    const platform::NativeFile fd = platform::CreateTemporary(name);
    if (fd == platform::kNoFile) return OpenResult::kCannotOpen;
    fd_ = fd;
    temporary_ = std::move(name);
    GuardDownloadFile(target_.c_str(), temporary_.c_str(), lock_.empty() ? nullptr : lock_.c_str());
  }
  if (!platform::KeepAccess(fd_, st)) return OpenResult::kCannotOpen;
  // A reader granted by an ACL must still be able to read the new file.
  std::string attribute;
  int error = 0;
  if (exists && !platform::CopyAttributes(real_, fd_, attribute, error)) {
    reason_ = "erweitertes Attribut " + Shown(attribute) +
              " nicht auf die neue Datei uebertragbar (" + std::strerror(error) + ")";
    return OpenResult::kRefused;
  }
  // Append mode: the new file starts as a copy of the old one. A failure to read it means the
  // file cannot be opened; a failure to write the copy is a write error like any other.
  if (!create && exists && !CopyFrom(real_)) return OpenResult::kCannotOpen;
  return OpenResult::kOpened;
}

DownloadFile::~DownloadFile() {
  {
    InterruptsHeld held;
    platform::CloseFile(fd_);
    if (!committed_ && !temporary_.empty()) platform::RemoveFile(temporary_);
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
  return platform::ReadWhole(path, [this](std::string_view chunk) { Write(chunk); });
}

void DownloadFile::Flush() {
  // With SIGPIPE ignored, a pipe whose reader quit fails here with EPIPE like any write error.
  if (error_ == 0 && !buffer_.empty())
    platform::WriteAll(fd_, buffer_.data(), buffer_.size(), error_);
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
  if (!platform::SyncAndClose(fd_, error_)) return false;
  // The log first, the replacement after, both under the file's lock: a change is in place only
  // once its lines are on disk, and a log that cannot be written fails the run with the old file
  // kept. A replacement that fails after the lines were written leaves lines for a change that
  // did not happen; the run's exit status says so.
  if (log_ != nullptr) {
    platform::FileState st;
    const bool replaces = platform::StateOf(real_, st) && st.exists;
    if (!log_->Record(*layout_, terminal_, replaces ? real_ : std::string(), temporary_, reason_)) {
      error_ = EIO;
      return false;
    }
  }
  {
    // The replacement and the end of the guard go together: an interrupt before them removes
    // the temporary file, one after them finds the run done.
    InterruptsHeld held;
    if (!platform::ReplaceTarget(temporary_, real_, error_)) {
      if (error_ == EBUSY || error_ == EXDEV)
        reason_ =
            "sie ist einzeln eingehaengt (bind mount) und kann nicht durch eine neue "
            "Datei ersetzt werden";
      return false;
    }
    committed_ = true;
    IgnoreInterrupts();
  }
  platform::SyncFolder(FolderOf(real_));
  Unlock();
  return true;
}

}  // namespace zibrolt
