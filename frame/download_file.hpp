// The download file of one run. A terminal that loads a half-written file locks people out, so
// the records go to a temporary file beside the target, which takes the target's place only
// when the whole run succeeded; until then the old file stays as it was.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "formats/layout.hpp"
#include "formats/record_sink.hpp"
#include "platform/files.hpp"

namespace zibrolt {

class ChangeLog;

class DownloadFile final : public RecordSink {
 public:
  // kRefused: the target is one a replacement would not serve (reason() says why).
  enum class OpenResult { kOpened, kCannotOpen, kBusy, kRefused };

  // How long a run waits for another run writing the same file before it gives up.
  static constexpr int kLockWaitSeconds = 30;

  // create: "1" as Param4, the file is written anew; otherwise the new records follow the old
  // content. Returns nullptr when the file cannot be opened, and why in *result:
  // kCannotOpen when the caller could not open the target for writing (folder missing or not
  // writable, a read-only file, another user's file in a sticky folder, an empty path, a pipe
  // without a reader, old content unreadable), kBusy when another run still held the file after
  // waitSeconds. A symbolic link is written through: the file it names is replaced, the link
  // stays. A target that is not a regular file (a device, a pipe) is written in place, and a
  // path that names one of the run's own open files (/dev/stdout) is written to that stream
  // where it stands, never truncated or replaced. The replacement of a regular file keeps its
  // owner, group, permissions and extended attributes (ACLs among them); one that cannot be
  // carried over fails the open. A file with more than one name (hard links) is refused
  // (kRefused): a replacement would give only this name the new content, and the others would
  // keep the old one every night.
  static std::unique_ptr<DownloadFile> Open(const std::string& path, bool create,
                                            OpenResult* result = nullptr,
                                            int waitSeconds = kLockWaitSeconds,
                                            std::string* reason = nullptr);

  ~DownloadFile();  // a file that was not committed is discarded; the target stays untouched
  DownloadFile(const DownloadFile&) = delete;
  DownloadFile& operator=(const DownloadFile&) = delete;

  // Fixed-width records: the bytes exactly, no line end.
  void Write(std::string_view bytes) override;
  // Text lines: each "\n" reaches the file as CR LF, as the terminals expect.
  void WriteText(std::string_view text) override;

  // The commit compares the file it replaces with the new one and appends every change to log
  // first (terminal as the lines name it). A file written in place (a device, a pipe) replaces
  // nothing and is not compared.
  void LogChangesTo(ChangeLog& log, const Layout& layout, std::string terminal) {
    log_ = &log;
    layout_ = &layout;
    terminal_ = std::move(terminal);
  }

  // Puts the file in place (flush, sync, log its changes, rename over the target, sync the
  // folder). False when any write so far, the change log or the commit itself failed; the
  // target is then unchanged.
  bool Commit();

  bool failed() const { return error_ != 0; }
  // Why the commit failed where the system's error alone does not tell a site what to do;
  // empty otherwise.
  const std::string& reason() const { return reason_; }

 private:
  DownloadFile() = default;
  OpenResult Lock(int waitSeconds);
  void Unlock();
  OpenResult Prepare(bool create);
  void Flush();
  bool CopyFrom(const std::string& path);  // false when the old content cannot be read

  std::string target_;     // the path the caller named
  std::string real_;       // the file it names once symbolic links are followed
  std::string temporary_;  // file being written, empty when writing in place
  std::string lock_;       // lock file beside real_, empty while not held
  platform::NativeFile fd_ = platform::kNoFile;
  platform::NativeFile lockFd_ = platform::kNoFile;
  int error_ = 0;  // errno of the first failed write, 0 while all went well
  bool committed_ = false;
  std::string buffer_;  // bytes not yet handed to the system
  std::string reason_;  // what stopped the open or the commit, for the run's line
  ChangeLog* log_ = nullptr;
  const Layout* layout_ = nullptr;
  std::string terminal_;
};

}  // namespace zibrolt
