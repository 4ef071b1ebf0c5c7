// Job lines on temporary or log files: disk rather than memory, so that a thousand jobs with
// "/d" (a line per badge each) do not hold their lines in memory until they are printed.
#include "tools/site/log_files.hpp"

#include <cerrno>
#include <cstring>

#include "platform/streams.hpp"
#include "text/control.hpp"

namespace zibrolt::site {

JobLines::~JobLines() {
  if (stream_) std::fclose(stream_);
}

std::string LogFileName(const SiteJob& job) {
  char number[16];
  std::snprintf(number, sizeof number, "%04d", job.line);
  std::string name = std::string(number) + "-" + job.function + "-";
  for (char c : job.terminal) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.';
    name += plain ? c : '_';
  }
  return name + ".log";
}

bool JobLines::Open(const std::string& folder, const SiteJob& job, std::size_t index,
                    std::size_t total, std::FILE* out) {
  if (folder.empty()) {
    stream_ = platform::OpenScratchStream();
    temporary_ = true;
    if (!stream_) {
      std::fprintf(out, "Auftrag Zeile %d: Zwischendatei fuer Meldungen nicht anlegbar: %s!\n",
                   job.line, std::strerror(errno));
      return false;
    }
  } else {
    path_ = folder + "/" + LogFileName(job);
    stream_ = std::fopen(path_.c_str(), "w");
    if (!stream_) {
      std::fprintf(out, "Auftrag Zeile %d: Protokolldatei %s konnte nicht geoeffnet werden: %s!\n",
                   job.line, Shown(path_).c_str(), std::strerror(errno));
      return false;
    }
  }
  std::fprintf(stream_, "Auftrag %zu von %zu (Zeile %d): %s %s %s %s%s\n", index + 1, total,
               job.line, job.function.c_str(), Shown(job.terminal).c_str(), Shown(job.path).c_str(),
               job.create ? "1" : "0", job.verbose ? " /d" : "");
  return true;
}

void JobLines::Discard() {
  if (!stream_) return;
  std::fclose(stream_);
  stream_ = nullptr;
  if (!temporary_) std::remove(path_.c_str());
}

bool JobLines::Emit(std::FILE* out) {
  if (!stream_) return true;  // never opened: its job has failed already
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
  if (temporary_ && ok) {
    std::rewind(stream_);
    char buffer[1 << 14];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stream_)) > 0)
      if (std::fwrite(buffer, 1, n, out) != n) ok = false;
    if (std::ferror(stream_)) ok = false;
  }
  if (std::fclose(stream_) != 0) ok = false;
  stream_ = nullptr;
  return ok;
}

}  // namespace zibrolt::site
