// The change log (--changes FILE): every record a run adds to, takes from or changes in a
// terminal's download file, one line each, so that auditors can tell who gained or lost access
// to which door and when. Many runs, and zibrolt-site's jobs, append to one log.
#pragma once
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "formats/layout.hpp"
#include "platform/files.hpp"

namespace zibrolt {

class ChangeLog {
 public:
  // Opens the log for appending (created when missing) and takes the run's time for its lines.
  // nullptr when it cannot be opened, the system's error code in error.
  static std::unique_ptr<ChangeLog> Open(const std::string& path, int& error);
  ~ChangeLog();
  ChangeLog(const ChangeLog&) = delete;
  ChangeLog& operator=(const ChangeLog&) = delete;

  const std::string& path() const { return path_; }

  // Compares the file a download file replaces (empty path: there was none) with the new one
  // and appends a line for every change, then puts the lines on disk. False, and why in
  // problem (German, for the run's line), when a file cannot be read or the log not written.
  bool Record(const Layout& layout, std::string_view terminal, const std::string& oldPath,
              const std::string& newPath, std::string& problem);

 private:
  ChangeLog() = default;
  void Flush(std::string& lines, int& error);

  std::string path_;
  std::string time_;  // of the run, local time "yyyy-mm-dd hh:mm:ss"
  platform::NativeFile fd_ = platform::kNoFile;
  // zibrolt-site's commit threads share one log. Appending through one handle is not atomic
  // everywhere (under Wine two threads' batches overwrote each other), so one batch is written
  // at a time; runs in other processes have handles of their own and append at the end.
  std::mutex writing_;
};

// One value as the log holds it: between double quotes, a double quote doubled, a backslash
// and every control byte written as \\ and \xNN, so that a line is one line whatever the
// database holds. Other bytes stay as they are (Windows-1252).
void AppendLogValue(std::string& line, std::string_view value);

}  // namespace zibrolt
