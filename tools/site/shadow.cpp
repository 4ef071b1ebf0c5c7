// The comparison pairs records with formats/record_diff.hpp, as the change log and the viewer's
// --diff do, so that "same" here means what those call no change. Files are first compared byte
// for byte: that is what a site switches on, and it spares the record walk on the nights when
// everything agrees.
#include "tools/site/shadow.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

#include "formats/record_diff.hpp"
#include "formats/records.hpp"
#include "generators/registry.hpp"
#include "platform/files.hpp"
#include "text/control.hpp"
#include "tools/site/make_jobs.hpp"
#include "tools/site/summary.hpp"

namespace zibrolt::site {
namespace {

namespace fs = std::filesystem;

// Differences the report shows per job: enough to see what kind of difference it is, not a
// second copy of a file that differs in every record.
constexpr std::size_t kReportedPerJob = 20;

struct Closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, Closer>;

enum class Verdict { kSame, kDifferent, kLiveMissing, kFailed };

struct FileResult {
  Verdict verdict = Verdict::kSame;
  std::uint64_t differences = 0;
  std::string report;  // the report's lines for the file, empty when it is the same
};

// Whether two open files hold the same bytes, read side by side a block at a time: a site's
// files run to tens of megabytes each. which names a file that could not be read.
bool SameBytes(std::FILE* live, std::FILE* shadow, const char*& which) {
  std::vector<char> a(1 << 16), b(1 << 16);
  for (;;) {
    const std::size_t n = std::fread(a.data(), 1, a.size(), live);
    const std::size_t m = std::fread(b.data(), 1, b.size(), shadow);
    if (std::ferror(live) || std::ferror(shadow)) {
      which = std::ferror(live) ? "Live-Datei" : "Schattendatei";
      return false;
    }
    if (n != m || std::memcmp(a.data(), b.data(), n) != 0) return false;
    if (n < a.size()) return true;  // both ended here
  }
}

std::string Value(std::string_view value) { return "\"" + Shown(Trim(value)) + "\""; }

// One report line for a change: what the live file has ("alt") and what zibrolt wrote ("neu").
std::string ChangeLine(const Layout& layout, const RecordChange& c) {
  static constexpr const char* kKind[] = {"neu      ", "entfernt ", "geaendert"};
  std::string line =
      std::string("  ") + kKind[static_cast<int>(c.kind)] + " Ausweis " + Shown(c.badge);
  if (HasClass(layout)) line += " Klasse " + Shown(c.accessClass);
  if (c.occurrence > 0) line += " #" + std::to_string(c.occurrence + 1);
  if (c.kind != ChangeKind::kChanged) return line + "\n";
  const char* separator = ": ";
  for (std::size_t f = 0; f < layout.fields.size(); ++f) {
    const std::string& old = c.before->values[f];
    const std::string& made = c.after->values[f];
    if (old == made) continue;
    line += separator + std::string(layout.fields[f].name);
    // The report is read by people who must not learn a PIN: only that it differs.
    line +=
        layout.fields[f].secret ? " verschieden (geheim)" : " " + Value(old) + " -> " + Value(made);
    separator = ", ";
  }
  return line + "\n";
}

FileResult CompareFile(const std::string& livePath, const std::string& shadowPath,
                       const Layout* layout) {
  FileResult result;
  std::error_code error;
  if (!fs::exists(livePath, error) && !error) {
    result.verdict = Verdict::kLiveMissing;
    result.report = "  Live-Datei fehlt\n";
    return result;
  }
  File live(std::fopen(livePath.c_str(), "rb"));
  File shadow(std::fopen(shadowPath.c_str(), "rb"));
  const char* unreadable = !live ? "Live-Datei" : !shadow ? "Schattendatei" : nullptr;
  const bool same = !unreadable && SameBytes(live.get(), shadow.get(), unreadable);
  if (unreadable) {
    result.verdict = Verdict::kFailed;
    result.report = std::string("  ") + unreadable + " nicht lesbar\n";
    return result;
  }
  if (same) return result;
  result.verdict = Verdict::kDifferent;
  std::rewind(live.get());
  std::rewind(shadow.get());
  const bool compared =
      layout && CompareFiles(*layout, live.get(), shadow.get(), [&](const RecordChange& c) {
        if (++result.differences <= kReportedPerJob) result.report += ChangeLine(*layout, c);
      });
  if (!compared) {
    // Jobs of several functions append to one file, or a file cannot be cut into records:
    // the bytes differ, and that is all that can be said.
    result.differences = 1;
    result.report = "  Dateien verschieden, Saetze nicht vergleichbar\n";
  } else if (result.differences == 0) {
    // The same records in another order or form: a terminal may read them alike, but the
    // files are not the same.
    result.differences = 1;
    result.report = "  Dieselben Saetze, aber Reihenfolge oder Form verschieden\n";
  } else if (result.differences > kReportedPerJob) {
    result.report +=
        "  ... und " + std::to_string(result.differences - kReportedPerJob) + " weitere\n";
  }
  return result;
}

}  // namespace

std::string ShadowFileName(const SiteJob& job) {
  char number[16];
  std::snprintf(number, sizeof number, "%04d-", job.line);
  std::string name = number;
  // The name's bytes as the jobs file holds them: a path object would recode them through the
  // system's code page on Windows.
#ifdef _WIN32
  const std::size_t slash = job.path.find_last_of("/\\:");
#else
  const std::size_t slash = job.path.find_last_of('/');
#endif
  name += EscapeName(std::string_view(job.path).substr(slash == std::string::npos ? 0 : slash + 1));
  return name;
}

bool PrepareShadow(const std::string& folder, std::vector<SiteJob>& jobs,
                   std::vector<std::string>& live, std::FILE* out) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder, error)) {
    std::fprintf(out, "Schattenordner %s nicht anlegbar: %s!\n", Shown(folder).c_str(),
                 error.message().c_str());
    return false;
  }
  live.clear();
  std::map<std::string, std::string> shadowOfFile;  // canonical live path -> shadow path
  for (SiteJob& job : jobs) {
    live.push_back(job.path);
    // Locks and temporary files would go beside the live file and change its folder.
    std::error_code ignored;
    if (fs::equivalent(folder,
                       fs::path(job.path).parent_path().empty() ? fs::path(".")
                                                                : fs::path(job.path).parent_path(),
                       ignored)) {
      std::fprintf(out, "Schattenordner %s ist der Ordner der Datei %s (Zeile %d)!\n",
                   Shown(folder).c_str(), Shown(job.path).c_str(), job.line);
      return false;
    }
    const auto [at, first] =
        shadowOfFile.try_emplace(CanonicalPath(job.path), folder + "/" + ShadowFileName(job));
    const std::string livePath = job.path;
    job.path = at->second;
    if (!first || job.create) continue;
    // An appending job adds to what the live file holds; without one it starts from nothing,
    // not from a shadow file an earlier night left.
    if (fs::exists(livePath, error))
      fs::copy_file(livePath, job.path, fs::copy_options::overwrite_existing, error);
    else if (!error)
      fs::remove(job.path, error);
    if (error) {
      std::fprintf(out, "Schattendatei %s nicht aus %s anlegbar: %s!\n", Shown(job.path).c_str(),
                   Shown(livePath).c_str(), error.message().c_str());
      return false;
    }
  }
  return true;
}

ShadowCounts CompareShadow(const std::string& folder, const std::vector<SiteJob>& jobs,
                           const std::vector<std::string>& live,
                           const std::vector<JobOutcome>& outcomes, std::FILE* out) {
  // Jobs that append to one file share its result: each job's line tells of the whole file.
  std::map<std::string, std::vector<std::size_t>> jobsOfFile;
  for (std::size_t i = 0; i < jobs.size(); ++i) jobsOfFile[jobs[i].path].push_back(i);
  std::map<std::string, FileResult> results;
  for (const auto& [path, indexes] : jobsOfFile) {
    FileResult& r = results[path];
    bool failed = false, oneFunction = true;
    for (std::size_t i : indexes) {
      failed = failed || !outcomes[i].ok;
      oneFunction = oneFunction && jobs[i].function == jobs[indexes[0]].function;
    }
    if (failed) {
      r.verdict = Verdict::kFailed;
      r.report = "  Auftrag fehlgeschlagen, siehe Zusammenfassung\n";
    } else {
      r = CompareFile(live[indexes[0]], path,
                      oneFunction ? FindLayout(jobs[indexes[0]].function) : nullptr);
    }
  }

  ShadowCounts counts;
  counts.jobs = jobs.size();
  std::string report =
      "Schattenvergleich: Live-Datei (alt) gegen Schattendatei (neu); neu: Satz nur in der "
      "Schattendatei, entfernt: nur in der Live-Datei.\n";
  std::fprintf(out, "Schattenvergleich:\n");
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const FileResult& r = results.at(jobs[i].path);
    std::string verdict;
    switch (r.verdict) {
      case Verdict::kSame:
        verdict = "gleich";
        ++counts.same;
        break;
      case Verdict::kDifferent:
        verdict =
            std::to_string(r.differences) + (r.differences == 1 ? " Unterschied" : " Unterschiede");
        ++counts.different;
        break;
      case Verdict::kLiveMissing:
        verdict = "Live-Datei fehlt";
        ++counts.different;
        break;
      case Verdict::kFailed:
        verdict = "Auftrag fehlgeschlagen";
        ++counts.failed;
        break;
    }
    const std::string head = "Zeile " + std::to_string(jobs[i].line) + " " + jobs[i].function +
                             " " + ShownTerminal(jobs[i].terminal);
    std::fprintf(out, "%s: %s\n", head.c_str(), verdict.c_str());
    if (r.verdict != Verdict::kSame)
      report += "\n" + head + ": " + verdict + "\n  Live-Datei: " + Shown(live[i]) +
                "\n  Schattendatei: " + Shown(jobs[i].path) + "\n" + r.report;
  }
  std::fprintf(out,
               "Schattenvergleich: %zu Auftraege, %zu gleich, %zu verschieden, %zu "
               "fehlgeschlagen.\n",
               counts.jobs, counts.same, counts.different, counts.failed);
  if (counts.same == counts.jobs) report += "\nAlle Dateien gleich.\n";
  const std::string reportPath = folder + "/" + kShadowReportName;
  File file(std::fopen(reportPath.c_str(), "wb"));
  const bool written =
      file && std::fwrite(report.data(), 1, report.size(), file.get()) == report.size();
  counts.reported = written && std::fclose(file.release()) == 0;
  if (!counts.reported)
    std::fprintf(out, "Schattenbericht %s nicht schreibbar!\n", Shown(reportPath).c_str());
  else if (counts.same != counts.jobs)
    std::fprintf(out, "Unterschiede in %s\n", Shown(reportPath).c_str());
  return counts;
}

int ShadowStatus(const ShadowCounts& counts) {
  return counts.failed > 0 || !counts.reported ? -1 : counts.different > 0 ? 1 : 0;
}

bool AppendShadowLedger(const std::string& path, const ShadowCounts& counts, std::FILE* out) {
  const std::time_t now = std::time(nullptr);
  char time[32] = "";
  if (const std::tm* local = std::localtime(&now))
    std::strftime(time, sizeof time, "%Y-%m-%d %H:%M:%S", local);
  char line[160];
  const int length = std::snprintf(line, sizeof line, "%s,%zu,%zu,%zu,%zu\r\n", time, counts.jobs,
                                   counts.same, counts.different, counts.failed);
  int error = 0;
  // One write of the whole line to a file opened for appending: nights that overlap, or a
  // reader that tails the ledger, never see half a line.
  platform::NativeFile file = platform::OpenAppending(path, error);
  const bool written = file != platform::kNoFile &&
                       platform::WriteAll(file, line, static_cast<std::size_t>(length), error) &&
                       platform::SyncFile(file, error);
  platform::CloseFile(file);
  if (!written)
    std::fprintf(out, "Schattenprotokoll %s nicht schreibbar: %s!\n", Shown(path).c_str(),
                 std::strerror(error));
  return written;
}

}  // namespace zibrolt::site
