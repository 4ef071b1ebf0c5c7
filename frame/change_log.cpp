// The lines are CSV in Windows-1252, like every file the tool writes: one line per change,
// every value quoted. They are written in batches of whole lines, each batch one write to a file
// opened for appending, so that runs appending at the same time interleave whole lines only.
#include "frame/change_log.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "formats/record_diff.hpp"
#include "formats/records.hpp"

namespace zibrolt {
namespace {

// Lines gathered before they are written: many whole lines per write, and memory that stays
// flat whatever a night changes.
constexpr std::size_t kBatch = 1 << 16;

struct Closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, Closer>;

}  // namespace

void AppendLogValue(std::string& line, std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  line += '"';
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"') {
      line += "\"\"";
    } else if (c == '\\') {
      line += "\\\\";
    } else if (byte < 0x20 || byte == 0x7F) {
      line += "\\x";
      line += kHex[byte >> 4];
      line += kHex[byte & 0xF];
    } else {
      line += c;
    }
  }
  line += '"';
}

std::unique_ptr<ChangeLog> ChangeLog::Open(const std::string& path, int& error) {
  std::unique_ptr<ChangeLog> log(new ChangeLog());
  log->path_ = path;
  log->fd_ = platform::OpenAppending(path, error);
  if (log->fd_ == platform::kNoFile) return nullptr;
  const std::time_t now = std::time(nullptr);
  char text[32] = "";
  // Taken once, before any job: only one thread runs here.
  if (const std::tm* local = std::localtime(&now))
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
  log->time_ = text;
  return log;
}

ChangeLog::~ChangeLog() { platform::CloseFile(fd_); }

// After a failed write the rest is dropped: the run fails anyway, and its file stays as it was.
void ChangeLog::Flush(std::string& lines, int& error) {
  if (error == 0 && !lines.empty()) {
    const std::lock_guard<std::mutex> one(writing_);
    platform::WriteAll(fd_, lines.data(), lines.size(), error);
  }
  lines.clear();
}

bool ChangeLog::Record(const Layout& layout, std::string_view terminal, const std::string& oldPath,
                       const std::string& newPath, std::string& problem) {
  File before(oldPath.empty() ? nullptr : std::fopen(oldPath.c_str(), "rb"));
  File after(std::fopen(newPath.c_str(), "rb"));
  if ((!oldPath.empty() && !before) || !after) {
    problem = "Vergleich fuer das Aenderungsprotokoll nicht moeglich: " +
              std::string(std::strerror(errno));
    return false;
  }
  std::string head;  // the values every line of this file starts with
  AppendLogValue(head, time_);
  head += ',';
  AppendLogValue(head, terminal);
  head += ',';
  AppendLogValue(head, layout.function);
  head += ',';

  std::string lines;
  lines.reserve(kBatch + 4096);
  int error = 0;
  bool any = false;
  auto line = [&](const RecordChange& c, std::string_view field, std::string_view old,
                  std::string_view made) {
    lines += head;
    AppendLogValue(lines, c.badge);
    lines += ',';
    AppendLogValue(lines, c.accessClass);
    lines += ',';
    AppendLogValue(lines, ChangeKindName(c.kind));
    lines += ',';
    AppendLogValue(lines, field);
    lines += ',';
    AppendLogValue(lines, old);
    lines += ',';
    AppendLogValue(lines, made);
    lines += "\r\n";
    any = true;
    if (lines.size() >= kBatch) Flush(lines, error);
  };
  const bool read = CompareFiles(layout, before.get(), after.get(), [&](const RecordChange& c) {
    if (c.kind != ChangeKind::kChanged) {
      line(c, "", "", "");
      return;
    }
    for (std::size_t f = 0; f < layout.fields.size(); ++f) {
      const std::string& old = c.before->values[f];
      const std::string& made = c.after->values[f];
      if (old == made) continue;
      // A secret shows only that it changed: the log travels to people who must not learn it.
      if (layout.fields[f].secret)
        line(c, layout.fields[f].name, "", "");
      else
        line(c, layout.fields[f].name, Trim(old), Trim(made));
    }
  });
  if (!read) {
    problem = "Vergleich fuer das Aenderungsprotokoll nicht moeglich: Datei nicht lesbar";
    return false;
  }
  Flush(lines, error);
  // On disk before the download file is replaced: a power cut must not leave a change in
  // place that the log does not hold.
  if (error == 0 && any) platform::SyncFile(fd_, error);
  if (error != 0) {
    problem = "Aenderungsprotokoll " + path_ + " nicht schreibbar: " + std::strerror(error);
    return false;
  }
  return true;
}

}  // namespace zibrolt
