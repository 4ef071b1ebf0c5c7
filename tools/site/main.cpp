// zibrolt-site: writes the download files of a whole site in one run, every file from the same
// moment of the database and the badge list read once for many terminals, where a scheduler
// would otherwise call zibrolt once per terminal and function.
#include <sys/stat.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/settings.hpp"
#include "frame/version.hpp"
#include "platform/stop_signals.hpp"
#include "platform/streams.hpp"
#include "text/control.hpp"
#include "tools/site/job_file.hpp"
#include "tools/site/make_jobs.hpp"
#include "tools/site/night_report.hpp"
#include "tools/site/shadow.hpp"
#include "tools/site/site_run.hpp"
#include "tools/site/summary.hpp"

namespace {

using namespace zibrolt::site;

// A jobs file of a few thousand lines is some hundred KiB; more is not a jobs file.
constexpr std::size_t kJobFileMax = 16 * 1024 * 1024;

void Usage(std::FILE* to) {
  std::fprintf(
      to,
      "Usage: zibrolt-site [--settings FILE] [--log-dir DIR] [--summary FILE]\n"
      "                    [--changes FILE] [--transaction-per-pass] JOBFILE\n"
      "       zibrolt-site [--settings FILE] [--log-dir DIR] [--transaction-per-pass]\n"
      "                    --shadow DIR [--shadow-ledger FILE] JOBFILE\n"
      "       zibrolt-site [--settings FILE] --make-jobs \"FUNCTION ...\" PATTERN\n"
      "       zibrolt-site --help | --version\n"
      "\n"
      "Writes the download files of many terminals in one run: one connection, one\n"
      "read-only view of the database for all files (see --transaction-per-pass), and each\n"
      "badge list read once for all terminals that share it. Each file is byte for byte what\n"
      "zibrolt FUNCTION TERMINAL FILE MODE would write, and is put in place only when it\n"
      "is complete; a job that fails keeps its old file and the others go on.\n"
      "\n"
      "JOBFILE (- for standard input) has one job a line: FUNCTION TERMINAL FILE MODE\n"
      "[/d], separated by blanks or tabs; a field with blanks in double quotes; blank lines\n"
      "and lines starting with # are ignored. MODE is 1 or 0; several jobs may write one\n"
      "file only when all append (0). A line that is not a job is reported with its number\n"
      "and nothing runs. Relative paths start from the working directory, as for zibrolt.\n"
      "\n"
      "  --settings FILE   the settings file (default: %s)\n"
      "  --log-dir DIR     each job's lines into DIR/LINE-FUNCTION-TERMINAL.log instead of\n"
      "                    standard output\n"
      "  --summary FILE    the night's result as JSON for a monitor, put in place whole at\n"
      "                    every ending: start and end (UTC), exit status, each job's\n"
      "                    status, badges read and written, seconds, and the totals\n"
      "  --changes FILE    append every badge each job's file gains, loses or sees changed\n"
      "                    to FILE, one CSV line each (PINs never shown); a job whose\n"
      "                    changes cannot be written keeps its old file and fails\n"
      "  --make-jobs F P   print a jobs file: every terminal, withdrawn ones too, with the\n"
      "                    functions F, the file named by the pattern P with {terminal}\n"
      "                    and {function} (e.g. 'out/{terminal}-{function}.dnl'), mode 1;\n"
      "                    in {terminal} every byte but A-Z a-z 0-9 - _ . becomes %%XX\n"
      "  --shadow DIR      a shadow night beside the program that writes the live files:\n"
      "                    each file goes to DIR/LINE-NAME (LINE: the first job's line\n"
      "                    number, NAME: the file's name, bytes but A-Z a-z 0-9 - _ . as\n"
      "                    %%XX; an appending job starts from a copy of the live file),\n"
      "                    the live files stay untouched and are compared with them record\n"
      "                    by record: a line per job, the first differences of each job\n"
      "                    in DIR/%s (PINs never shown). Exit status: 0 when\n"
      "                    every file is the same, 1 when any differs or its live file is\n"
      "                    missing, -1 (255) when a job failed. Not with --changes,\n"
      "                    --summary or --make-jobs\n"
      "  --shadow-ledger FILE\n"
      "                    append the shadow night's line to FILE: local time, jobs, same,\n"
      "                    different, failed (\"2026-03-01 02:10:00,40,40,0,0\")\n"
      "  --transaction-per-pass\n"
      "                    each pass over a badge list after the first reads in a new\n"
      "                    read-only transaction (its terminals read again in it), so that\n"
      "                    the server keeps undo for one pass, not the whole night (Oracle:\n"
      "                    UNDO_RETENTION, else ORA-01555 fails the run). Trade-off: files\n"
      "                    of different passes show the database at different moments; a\n"
      "                    terminal whose assignments changed meanwhile keeps its old file\n"
      "  --help            show this help and exit\n"
      "  --version         show the version and exit\n"
      "\n"
      "Output: per job a header line and the lines zibrolt prints, then a table of all jobs\n"
      "(badges written, status, seconds). With standard error on a terminal, a progress\n"
      "line there. Exit status: 0 when every job succeeded, else -1 (255).\n",
      zibrolt::kSettingsPath, kShadowReportName);
}

extern "C" void OnStopSignal(int) { RequestStop(); }

// A wrong call: what is wrong, then the usage, on standard error.
int UsageError(const std::string& what) {
  std::fprintf(stderr, "zibrolt-site: %s\n\n", what.c_str());
  Usage(stderr);
  return -1;
}

// The jobs file's bytes, or standard input's for "-"; false with a line on out when it cannot
// be read. Anything but a regular file is refused before it is opened: a FIFO without a writer
// would hang the night in open().
bool ReadJobFile(const std::string& path, std::string& text, std::FILE* out) {
  const std::string shown = zibrolt::Shown(path);
  std::FILE* in = stdin;
  if (path != "-") {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
      std::fprintf(out, "Auftragsdatei %s ist keine normale Datei!\n", shown.c_str());
      return false;
    }
    in = std::fopen(path.c_str(), "rb");
    if (!in || ::fstat(::fileno(in), &info) != 0 || !S_ISREG(info.st_mode)) {
      if (in) std::fclose(in);
      std::fprintf(out, "Auftragsdatei %s konnte nicht gelesen werden!\n", shown.c_str());
      return false;
    }
  } else {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);  // a byte 0x1A is no end of the jobs
#endif
  }
  char buffer[1 << 14];
  std::size_t n;
  bool ok = true;
  while (ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    text.append(buffer, n);
    ok = text.size() <= kJobFileMax;
  }
  if (!ok)
    std::fprintf(out, "Auftragsdatei %s ist groesser als %zu MiB!\n", shown.c_str(),
                 kJobFileMax >> 20);
  else if (std::ferror(in) && !StopRequested())  // a stop breaks off a read of standard input
    std::fprintf(out, "Auftragsdatei %s konnte nicht gelesen werden!\n", shown.c_str());
  ok = ok && !std::ferror(in);
  if (in != stdin) std::fclose(in);
  return ok;
}

int Run(int argc, char** argv) {
  SiteOptions options;
  options.settingsPath = zibrolt::kSettingsPath;
  std::vector<std::string> rest;
  bool makeJobs = false;
  std::string summaryPath;
  std::string shadowFolder;
  std::string ledgerPath;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--help") {
      Usage(stdout);
      return 0;
    }
    if (a == "--version") {
      std::printf("%s\n", zibrolt::VersionLine("zibrolt-site").c_str());
      return 0;
    }
    if (a == "--transaction-per-pass") {
      options.transactionPerPass = true;
    } else if (a == "--settings" || a == "--log-dir" || a == "--summary" || a == "--changes") {
      if (i + 1 == argc) return UsageError(std::string(a) + " needs a value");
      (a == "--settings"  ? options.settingsPath
       : a == "--log-dir" ? options.logFolder
       : a == "--changes" ? options.changesPath
                          : summaryPath) = argv[++i];
    } else if (a == "--shadow" || a == "--shadow-ledger") {
      if (i + 1 == argc) return UsageError(std::string(a) + " needs a value");
      (a == "--shadow" ? shadowFolder : ledgerPath) = argv[++i];
    } else if (a == "--make-jobs") {
      makeJobs = true;
    } else if (a.size() > 1 && a[0] == '-') {  // "-" alone: the jobs from standard input
      return UsageError("unknown option " + zibrolt::Shown(a));
    } else {
      rest.emplace_back(a);
    }
  }
  // A shadow night replaces no live file, so it has no changes to log, and a monitor must not
  // take its report for the live night's.
  if (!shadowFolder.empty()) {
    for (const auto& [given, name] :
         {std::pair{!options.changesPath.empty(), "--changes"},
          std::pair{!summaryPath.empty(), "--summary"}, std::pair{makeJobs, "--make-jobs"}})
      if (given)
        return UsageError(std::string("--shadow replaces no live file and cannot be combined "
                                      "with ") +
                          name);
  } else if (!ledgerPath.empty()) {
    return UsageError("--shadow-ledger needs --shadow");
  }
  if (makeJobs) {
    if (rest.size() != 2)
      return UsageError("--make-jobs takes FUNCTIONS and PATTERN, got " +
                        std::to_string(rest.size()) + " values");
    return MakeJobs(options.settingsPath, rest[0], rest[1], stdout, stderr);
  }
  if (rest.size() != 1)
    return UsageError(rest.empty() ? "no JOBFILE given"
                                   : "one JOBFILE expected, got " + std::to_string(rest.size()));

  NightTimes times;
  times.start = std::chrono::system_clock::now();
  std::vector<SiteJob> jobs;
  std::vector<JobOutcome> outcomes;
  // Every ending from here on leaves the night's report, so that a monitor never takes an
  // earlier night's for this one's; a report that cannot be written fails the run.
  const auto end = [&](int status) {
    if (summaryPath.empty()) return status;
    times.end = std::chrono::system_clock::now();
    const bool written =
        WriteNightReport(summaryPath, NightReport(jobs, outcomes, times, status), stdout);
    return written ? status : -1;
  };
  std::string text;
  const bool read = ReadJobFile(rest[0], text, stdout);
  if (StopRequested()) {
    std::printf("Programmabbruch: Signal empfangen, kein Auftrag ausgefuehrt!\n");
    return end(-1);
  }
  if (!read) return end(-1);
  const std::vector<JobFileError> errors = ParseJobs(text, jobs);
  for (const JobFileError& e : errors)
    std::printf("Auftragsdatei %s Zeile %d: %s!\n", zibrolt::Shown(rest[0]).c_str(), e.line,
                e.text.c_str());
  if (!errors.empty()) {
    std::printf("Auftragsdatei fehlerhaft, kein Auftrag ausgefuehrt!\n");
    jobs.clear();
    return end(-1);
  }
  if (jobs.empty()) {
    std::printf("Auftragsdatei %s enthaelt keinen Auftrag!\n", zibrolt::Shown(rest[0]).c_str());
    return end(-1);
  }
  std::vector<std::string> livePaths;
  if (!shadowFolder.empty() && !PrepareShadow(shadowFolder, jobs, livePaths, stdout)) return -1;
  options.progress = true;
  const bool ran = RunJobs(options, jobs, outcomes, stdout, stderr);
  if (outcomes.empty()) return end(-1);
  // Decided once: the closing line and the exit status say the same.
  const bool allOk = PrintSummary(jobs, outcomes, StopRequested(), stdout);
  if (!shadowFolder.empty()) {
    const ShadowCounts counts = CompareShadow(shadowFolder, jobs, livePaths, outcomes, stdout);
    const bool logged = ledgerPath.empty() || AppendShadowLedger(ledgerPath, counts, stdout);
    return ran && logged ? ShadowStatus(counts) : -1;
  }
  return end(ran && allOk ? 0 : -1);
}

}  // namespace

int main(int argc, char** argv) {
  // Without standard output a run could not say what it did, and the next file opened would
  // take its place and receive the lines: as zibrolt, fail with every file as it was.
  if (!zibrolt::platform::OutputOpen(stdout)) return -1;
  // A stop (a signal, Ctrl+C, a closed console) only asks the passes to stop at the next badge:
  // unfinished files are discarded as their jobs fail, every target stays as it was.
  zibrolt::platform::CatchInterrupts(OnStopSignal);
  // Lines reach a scheduler's log as they are printed, ahead of anything that ends the run.
  zibrolt::platform::PrepareOutput(stdout);
  int status;
  try {
    status = Run(argc, argv);
  } catch (const std::exception&) {
    // Out of memory, or another failure no step foresaw: files not yet in place stay as they
    // were (an unfinished file is discarded as the stack unwinds).
    std::fputs("Programmabbruch: unerwarteter Fehler!\n", stdout);
    status = -1;
  }
  if (std::fflush(stdout) != 0) status = -1;
  return status;
}
