// The functions run exactly as in a nightly run (the same jobs over the same badge loop), with
// their records going to a temporary file and their progress lines to a scratch stream, shown
// only when the function fails.
#include "tools/check/terminal.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "data/terminal.hpp"
#include "generators/badge_loop.hpp"
#include "generators/registry.hpp"
#include "platform/stop_signals.hpp"
#include "platform/streams.hpp"
#include "text/ascii_case.hpp"
#include "text/messages.hpp"
#include "tools/check/compare.hpp"

namespace zibrolt::check {
namespace {

// Any row of that name, withdrawn or not: tells a withdrawn terminal from a mistyped name.
constexpr sqlhlp::Column kStatusColumns[] = {sqlhlp::Int()};
constexpr sqlhlp::Query kAnyTerminal{"select TrmSta from Korvadat.Kvd1140Trm where TrmNam=:b0",
                                     kStatusColumns};

// The progress lines of a failing function shown under its FAIL line.
constexpr int kShownOutputLines = 20;

// The temporary file an interrupt removes, kept where a handler may read it.
char interruptRemoves[4096];
volatile std::sig_atomic_t haveTemporary = 0;
int interruptOut = -1;

void OnInterrupt(int) {
  if (haveTemporary) platform::RemoveNow(interruptRemoves);
  static const char kLine[] = "FAIL  Abbruch durch ein Signal, temporaere Datei entfernt\n";
  platform::WriteNow(interruptOut, kLine, sizeof kLine - 1);
  std::_Exit(1);
}

// A temporary file that is gone when the check ends, or when it is interrupted. why says what
// kept it from being made.
class TempFile {
 public:
  TempFile() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) {
      why_ = "kein Ordner fuer temporaere Dateien (TMPDIR?): " + error.message();
      return;
    }
    path_ = (folder / "zibrolt-check-").string();
    platform::HeldBack held;
    file_ = platform::OpenNamedScratchStream(path_);
    if (!file_) {
      why_ = "keine temporaere Datei im Ordner " + folder.string();
      return;
    }
    if (path_.size() < sizeof interruptRemoves) {
      path_.copy(interruptRemoves, path_.size());
      interruptRemoves[path_.size()] = '\0';
      haveTemporary = 1;
    }
  }
  ~TempFile() {
    if (!file_) return;
    platform::HeldBack held;
    haveTemporary = 0;
    std::fclose(file_);
    std::remove(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::FILE* file() const { return file_; }
  const std::string& path() const { return path_; }
  const std::string& why() const { return why_; }

 private:
  std::string path_;
  std::string why_;
  std::FILE* file_ = nullptr;
};

// Records as the download file writes them: text lines end in CR LF.
class FileSink : public RecordSink {
 public:
  explicit FileSink(std::FILE* file) : file_(file) {}
  void Write(std::string_view bytes) override { std::fwrite(bytes.data(), 1, bytes.size(), file_); }
  void WriteText(std::string_view text) override {
    for (char c : text) {
      if (c == '\n') std::fputc('\r', file_);
      std::fputc(c, file_);
    }
  }

 private:
  std::FILE* file_;
};

// Shows the last kShownOutputLines lines a stream holds.
void ShowLines(std::FILE* lines, Report& report) {
  const std::vector<std::string> kept = ReadLines(lines);
  const std::size_t from = kept.size() > kShownOutputLines ? kept.size() - kShownOutputLines : 0;
  for (std::size_t i = from; i < kept.size(); ++i) report.Detail(kept[i]);
}

bool LoadTerminal(sqlhlp::Connection& db, TerminalRecord& terminal, Report& report) {
  const std::string name = "Terminal " + terminal.name;
  int status = LoadTerminalContext(db, terminal);
  if (status == sqlhlp::kOk) {
    report.Ok(name + ": Modell " + terminal.TRMMOD + ", Textsatz " + terminal.TRMSAL + ", " +
              std::to_string(terminal.assignmentCount) + " Mandanten-/Lizenzzuordnungen");
    return true;
  }
  if (status == sqlhlp::kNoRow) {
    sqlhlp::Statement& any = db.Use(kAnyTerminal);
    any.BindText(0, terminal.name);
    status = any.SelectOne();
    if (status == sqlhlp::kOk || status == sqlhlp::kTooManyRows) {
      report.Warn(name + " ist zurueckgezogen (Status " + std::to_string(any.GetInt(0)) +
                  "): zibrolt schreibt eine leere Liste");
      return false;
    }
    if (status == sqlhlp::kNoRow) {
      report.Fail(name + " nicht gefunden (Schreibweise, Gross-/Kleinschreibung, Leerzeichen?)");
      return false;
    }
  }
  report.Fail(name + " nicht lesbar, " + StatusText(status, db.DriverState(status)));
  return false;
}

// Runs the function into file; false (with its FAIL line) when it fails.
bool DryRun(sqlhlp::Connection& db, const DownloadFunction& function,
            const TerminalRecord& terminal, std::FILE* file, Report& report) {
  std::FILE* lines = platform::OpenScratchStream();
  if (!lines) {
    report.Fail(std::string(function.name) + ": keine temporaere Datei fuer die Meldungen");
    return false;
  }
  FileSink sink(file);
  const Messages messages(lines, false);
  BadgeCursor list(db);
  const std::unique_ptr<BadgeJob> job =
      function.makeJob(JobContext{db, messages, terminal, sink, &list, nullptr});
  LoopJob run{job.get(), &messages, function.style};
  RunBadgeLoop(list, terminal, {&run, 1});
  const bool written = std::fflush(file) == 0 && !std::ferror(file);
  const std::string name(function.name);
  if (run.status != sqlhlp::kOk) {
    report.Fail(name + ": Abbruch, " + StatusText(run.status, db.DriverState(run.status)));
    ShowLines(lines, report);
  } else if (!written) {
    report.Fail(name + ": temporaere Datei nicht schreibbar");
  } else {
    report.Ok(name + ": " + std::to_string(run.written) + " Ausweise wuerden geschrieben (" +
              std::to_string(run.read) + " gelesen)");
  }
  std::fclose(lines);
  return run.status == sqlhlp::kOk && written;
}

}  // namespace

void CheckTerminal(sqlhlp::Connection& db, const TerminalRequest& request, Report& report) {
  TerminalRecord terminal;
  terminal.name = request.terminal;
  if (!LoadTerminal(db, terminal, report)) return;

  std::string wanted = request.function;
  StrUpper(wanted);
  for (const DownloadFunction& f : DownloadFunctions()) {
    if (!wanted.empty() && f.name != wanted) continue;
    TempFile made;
    if (!made.file()) {
      report.Fail(std::string(f.name) + ": " + made.why());
      continue;
    }
    if (DryRun(db, f, terminal, made.file(), report) && !request.current.empty())
      Compare(f.layout, request.current, made.path(), report);
  }
}

void CatchCheckInterrupts(std::FILE* out) {
  interruptOut = platform::PrepareOutput(out);
  platform::CatchInterrupts(OnInterrupt);
}

void ListTerminalCheckStatements(std::vector<ListedStatement>& out) {
  out.push_back(Listed("Terminal mit Status", kAnyTerminal));
}

}  // namespace zibrolt::check
