#include "tools/site/night_report.hpp"

#include <cerrno>
#include <ctime>
#include <system_error>

#include "platform/files.hpp"
#include "platform/paths.hpp"
#include "text/control.hpp"
#include "text/cp1252.hpp"

namespace zibrolt::site {
namespace {

// A JSON string of Windows-1252 bytes.
std::string Quoted(std::string_view cp1252) {
  std::string utf8;
  Cp1252ToUtf8(cp1252, utf8);
  std::string out = "\"";
  for (const char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Utc(std::chrono::system_clock::time_point at) {
  const std::time_t t = std::chrono::system_clock::to_time_t(at);
  std::tm parts{};
#ifdef _WIN32
  gmtime_s(&parts, &t);
#else
  gmtime_r(&t, &parts);
#endif
  char text[32];
  std::strftime(text, sizeof text, "\"%Y-%m-%dT%H:%M:%SZ\"", &parts);
  return text;
}

const char* StatusOf(const JobOutcome& o) {
  return o.ok ? "ok" : o.stopped ? "stopped" : o.started ? "failed" : "not run";
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

}  // namespace

std::string NightReport(const std::vector<SiteJob>& jobs, const std::vector<JobOutcome>& outcomes,
                        const NightTimes& times, int exitStatus) {
  std::string out = "{\n  \"start\": " + Utc(times.start) + ",\n  \"end\": " + Utc(times.end) +
                    ",\n  \"exit_status\": " + std::to_string(exitStatus) + ",\n  \"jobs\": [";
  long read = 0, written = 0, ok = 0;
  double seconds = 0;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const JobOutcome o = i < outcomes.size() ? outcomes[i] : JobOutcome{};
    out += std::string(i == 0 ? "\n" : ",\n") + "    {\"line\": " + std::to_string(jobs[i].line) +
           ", \"function\": " + Quoted(jobs[i].function) +
           ", \"terminal\": " + Quoted(jobs[i].terminal) + ", \"file\": " + Quoted(jobs[i].path) +
           ", \"status\": \"" + StatusOf(o) + "\", \"read\": " + std::to_string(o.read) +
           ", \"written\": " + std::to_string(o.written) + ", \"seconds\": " + Seconds(o.seconds) +
           "}";
    read += o.read;
    written += o.written;
    ok += o.ok ? 1 : 0;
    seconds += o.seconds;
  }
  out += std::string(jobs.empty() ? "" : "\n  ") +
         "],\n  \"totals\": {\"jobs\": " + std::to_string(jobs.size()) +
         ", \"ok\": " + std::to_string(ok) +
         ", \"not_ok\": " + std::to_string(static_cast<long>(jobs.size()) - ok) +
         ", \"read\": " + std::to_string(read) + ", \"written\": " + std::to_string(written) +
         ", \"seconds\": " + Seconds(seconds) + "}\n}\n";
  return out;
}

bool WriteNightReport(const std::string& path, const std::string& text, std::FILE* out) {
  const std::string folder = platform::FolderOf(path);
  std::string temporary = folder + "/." + platform::NameOf(path) + ".";
  // A monitor running as another user reads it as it read the last one.
  platform::FileState state;
  const bool known = platform::StateOf(path, state);
  platform::NativeFile file = platform::CreateTemporary(temporary);
  const bool created = file != platform::kNoFile;
  int error = created ? 0 : errno;
  const bool ok = created && (!known || platform::KeepAccess(file, state)) &&
                  platform::WriteAll(file, text.data(), text.size(), error) &&
                  platform::SyncAndClose(file, error) &&
                  platform::ReplaceTarget(temporary, path, error);
  if (!ok) {
    // Closed already when only the rename failed; the temporary file goes either way.
    platform::CloseFile(file);
    if (created) platform::RemoveFile(temporary);
    std::fprintf(out, "Zusammenfassung %s konnte nicht geschrieben werden (%s)!\n",
                 Shown(path).c_str(), std::generic_category().message(error).c_str());
    return false;
  }
  platform::SyncFolder(folder);
  return true;
}

}  // namespace zibrolt::site
