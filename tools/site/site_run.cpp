// Running the jobs. Jobs are grouped into passes: the jobs of one pass walk the same badge list
// and read each badge's classes, location, balance and own display set once between them.
// Every terminal shares the all-badges list: one with client/licence assignments takes, from the
// list read with each row's client, the rows its own list would hold, as often as that list
// would hold them (a terminal whose assignments could not be read walks its own list in a pass
// of its own). Jobs that write the same file go into successive passes in job order, so that
// appending jobs append in that order and each opens the file after the one before has put it
// in place.
#include "tools/site/site_run.hpp"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <utility>

#include "data/badges.hpp"
#include "data/client_filter.hpp"
#include "data/pass_lookups.hpp"
#include "data/terminal.hpp"
#include "frame/change_log.hpp"
#include "frame/download_file.hpp"
#include "frame/run_driver.hpp"
#include "frame/run_stats.hpp"
#include "generators/badge_loop.hpp"
#include "generators/registry.hpp"
#include "platform/limits.hpp"
#include "platform/streams.hpp"
#include "text/control.hpp"
#include "text/messages.hpp"
#include "tools/site/log_files.hpp"
#include "tools/site/progress.hpp"

namespace zibrolt::site {
namespace {

using Clock = std::chrono::steady_clock;

// Statuses the jobs of a pass stop with, beyond Oracle's five-digit numbers and the statuses of
// the drivers and the test seam, so that no database failure is taken for one of them.
constexpr int kStopped = -100010;   // the run was interrupted
constexpr int kViewLost = -100011;  // the database ended the run's read transaction
constexpr int kOutputLost = -100012;  // standard output failed: the run cannot say what it did

std::atomic<bool> gStop{false};

// Threads that put files in place at once; they wait for the disk, not for a core.
constexpr std::size_t kCommitThreads = 16;

// Each job of a pass holds its temporary file, the target's lock and its lines' file open.
constexpr std::size_t kFilesPerJob = 4;
// A pass holds each job's write buffer (up to 64 KiB, twice that while it grows): this many
// jobs keep a pass well within its memory budget.
constexpr std::size_t kJobsPerPassMax = 1024;

std::size_t JobsPerPass() {
  // A thousand jobs need more files than the usual default limit.
  std::size_t limit = 0;
  if (!platform::RaiseOpenFileLimit(limit)) return 64;
  const std::size_t usable = limit > 64 ? limit - 64 : 1;
  return std::max<std::size_t>(1, std::min<std::size_t>(kJobsPerPassMax, usable / kFilesPerJob));
}

struct Pass {
  std::string list;  // which badge list the pass walks
  std::vector<std::size_t> jobs;
};

// The terminals' contexts, read once each before the passes are planned.
struct KnownTerminal {
  TerminalRecord record;
  TerminalLookup lookup;  // what the terminal table holds for the name, as zibrolt decides on it
  bool readable = false;  // the lookup came to a decision (no database error)
  bool filtered = false;  // has assignments, read into clients
  ClientFilter clients;
};

std::vector<Pass> PlanPasses(const std::vector<SiteJob>& jobs,
                             const std::map<std::string, KnownTerminal>& terminals,
                             std::size_t perPass) {
  std::vector<Pass> passes;
  std::map<std::string, std::size_t> nextPassOfFile;  // the first pass a file's next job may use
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const KnownTerminal& t = terminals.at(jobs[i].terminal);
    // A terminal whose row could not be read gets a pass of its own, where its job reports it.
    const std::string list = !t.readable                                   ? "!" + std::to_string(i)
                             : t.record.assignmentCount > 0 && !t.filtered ? "T" + t.record.name
                                                                           : "*";
    const std::string file = CanonicalPath(jobs[i].path);
    std::size_t p = nextPassOfFile.count(file) ? nextPassOfFile[file] : 0;
    while (p < passes.size() && (passes[p].list != list || passes[p].jobs.size() >= perPass)) ++p;
    if (p == passes.size()) passes.push_back({list, {}});
    passes[p].jobs.push_back(i);
    nextPassOfFile[file] = p + 1;
  }
  return passes;
}

// One job while its pass runs.
struct JobState {
  std::size_t index = 0;
  const SiteJob* job = nullptr;
  const DownloadFunction* function = nullptr;
  JobLines lines;
  std::optional<Messages> messages;
  TerminalRecord terminal;
  ClientFilter clients;  // its assignments, read again in its pass's own transaction
  std::unique_ptr<DownloadFile> file;
  std::unique_ptr<BadgeJob> work;
  Clock::time_point start;
  std::string linesError;  // why its lines could not be written, empty when they could
};

// Counts the rows of a pass for the progress line, and stops every job of the pass when the run
// is interrupted, when the database has ended the read transaction (the rows from then on would
// come from a later database than the files before), or once all of them have stopped.
class PassWatch final : public BadgeJob {
 public:
  PassWatch(std::span<LoopJob> jobs, Progress& progress, sqlhlp::Connection& db)
      : jobs_(jobs), progress_(progress), db_(db) {}

  int Badge(const BadgeRow&) override {
    const int stop = gStop ? kStopped : db_.ViewKept() ? sqlhlp::kOk : kViewLost;
    bool running = false;
    for (LoopJob& j : jobs_) {
      if (stop != sqlhlp::kOk && j.status == sqlhlp::kOk) j.status = stop;
      running = running || j.status == sqlhlp::kOk;
    }
    if (!running) return kStopped;
    progress_.Row();
    return 0;
  }

 private:
  std::span<LoopJob> jobs_;
  Progress& progress_;
  sqlhlp::Connection& db_;
};

class SiteRun {
 public:
  SiteRun(const SiteOptions& options, const std::vector<SiteJob>& jobs,
          std::vector<JobOutcome>& outcomes, std::FILE* out, std::FILE* err)
      : options_(options),
        jobs_(jobs),
        outcomes_(outcomes),
        out_(out),
        progress_(options.progress ? err : nullptr, jobs.size()) {}

  bool Run() {
    Login login;
    if (!ReadLogin(out_, login, options_.settingsPath.c_str())) return false;
    db_ = ConnectReporting(out_, login);
    if (!db_ || !BindsFitReporting(out_, *db_)) return false;
    RunStatsReport stats(*db_);
    // One log and one time for the whole night, opened before any job so that a log that
    // cannot be written stops the night before any file is replaced.
    if (!options_.changesPath.empty() &&
        !(changes_ = OpenChangeLogReporting(out_, options_.changesPath)))
      return false;
    for (const SiteJob& job : jobs_) {
      const auto [at, fresh] = terminals_.try_emplace(job.terminal);
      if (!fresh) continue;
      KnownTerminal& t = at->second;
      t.record.name = job.terminal;
      t.lookup = LookupTerminal(*db_, t.record);
      t.readable = t.lookup.status >= 0;
      t.filtered = t.readable && t.lookup.exists && t.record.assignmentCount > 0 &&
                   ClientFilter::InProgram(*db_) &&
                   t.clients.Load(*db_, t.record.name) == sqlhlp::kOk;
    }
    nullLines_.reset(std::fopen(platform::kNullDevice, "w"));
    if (!nullLines_) return false;
    bool viewKept = true;
    bool first = true;
    for (const Pass& pass : PlanPasses(jobs_, terminals_, JobsPerPass())) {
      if (gStop || !(viewKept = db_->ViewKept())) break;
      if (options_.transactionPerPass && !std::exchange(first, false)) {
        if (const int status = db_->RenewView(); status != sqlhlp::kOk) {
          ReportDriverState(out_, db_->DriverState(status));
          std::fprintf(out_, "Neue Lesetransaktion nicht begonnen! SQLCode:%d\n", status);
          viewKept = false;
          break;
        }
      }
      RunPass(pass);
    }
    progress_.End();
    // One line for the jobs an interruption left undone, not one per job as if each had failed.
    if (gStop)
      std::fprintf(out_, "Programmabbruch: Signal empfangen, Lauf beendet! Nicht ausgefuehrt: %s\n",
                   NotRun().c_str());
    if (!viewKept)
      std::fprintf(out_,
                   "Programmabbruch: Datenbank hat die Lesetransaktion nach einem Fehler beendet, "
                   "ein weiterer Auftrag saehe einen anderen Stand! Nicht ausgefuehrt: %s\n",
                   NotRun().c_str());
    return !gStop && viewKept;
  }

  // The line numbers of the jobs that did not start or were stopped, as ranges ("4-9, 12").
  std::string NotRun() const {
    const auto notRun = [&](std::size_t i) { return !outcomes_[i].started || outcomes_[i].stopped; };
    std::string text;
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
      if (!notRun(i)) continue;
      std::size_t last = i;
      while (last + 1 < jobs_.size() && notRun(last + 1) &&
             jobs_[last + 1].line == jobs_[last].line + 1)
        ++last;
      if (!text.empty()) text += ", ";
      text += "Zeile " + std::to_string(jobs_[i].line);
      if (last > i) text += "-" + std::to_string(jobs_[last].line);
      i = last;
    }
    return text;
  }

 private:
  // Takes the job's function, file and terminal in the order and with the decisions of a single
  // run; false when the job failed there (its lines printed).
  bool Prepare(JobState& s) {
    const SiteJob& job = *s.job;
    s.start = Clock::now();
    outcomes_[s.index].started = true;
    if (!s.lines.Open(options_.logFolder, job, s.index, jobs_.size(), out_)) return false;
    s.function = FindFunctionReporting(s.lines.stream(), job.function);
    if (!s.function) return false;
    s.messages.emplace(s.lines.stream(), job.verbose);
    s.file = OpenDownloadReporting(s.lines.stream(), job.path, job.create);
    if (!s.file) return false;
    if (changes_) s.file->LogChangesTo(*changes_, s.function->layout, job.terminal);
    const KnownTerminal& t = terminals_.at(job.terminal);
    s.terminal = t.record;
    if (t.readable && options_.transactionPerPass) return ReadTerminalAgain(s, t);
    if (t.readable) return ReportTerminal(s.lines.stream(), t.lookup, job.terminal);
    // Read again in the job's own pass: the failure is reported as the job meets it.
    s.terminal = TerminalRecord{};
    s.terminal.name = job.terminal;
    return LoadTerminalReporting(s.lines.stream(), *db_, s.terminal);
  }

  // The job's terminal as the pass's own transaction shows it. The pass was planned on what the
  // run's start showed: a terminal whose assignments came or went since then belongs to another
  // pass, and its job fails with its old file kept.
  bool ReadTerminalAgain(JobState& s, const KnownTerminal& t) {
    std::FILE* lines = s.lines.stream();
    s.terminal = TerminalRecord{};
    s.terminal.name = s.job->terminal;
    const TerminalLookup now = LookupTerminal(*db_, s.terminal);
    if (now.status < 0) return ReportTerminal(lines, now, s.job->terminal);
    const bool same = now.exists == t.lookup.exists &&
                      (s.terminal.assignmentCount > 0) == (t.record.assignmentCount > 0);
    if (same && t.filtered && s.clients.Load(*db_, s.terminal.name) != sqlhlp::kOk) {
      std::fprintf(lines,
                   "Zuordnungen von Terminal %s nicht lesbar, Downloaddatei bleibt "
                   "unveraendert!\n",
                   Shown(s.job->terminal).c_str());
      return false;
    }
    if (!same) {
      std::fprintf(lines,
                   "Terminal %s hat sich seit Laufbeginn geaendert, Downloaddatei bleibt "
                   "unveraendert!\n",
                   Shown(s.job->terminal).c_str());
      return false;
    }
    return ReportTerminal(lines, now, s.job->terminal);
  }

  void RunPass(const Pass& pass) {
    std::vector<std::unique_ptr<JobState>> states;
    std::vector<JobState*> ready;
    for (std::size_t i : pass.jobs) {
      auto s = std::make_unique<JobState>();
      s->index = i;
      s->job = &jobs_[i];
      if (Prepare(*s))
        ready.push_back(s.get());
      else
        Finish(*s, nullptr);
      states.push_back(std::move(s));
    }
    if (!ready.empty()) {
      BadgeCursor list(*db_);
      PassLookups shared(*db_, list);
      // Each job answers from its own copy: the copies learn the numbers of this pass's cursor.
      std::vector<ClientFilter> filters;
      filters.reserve(ready.size());
      std::vector<LoopJob> loop;
      loop.reserve(ready.size() + 1);
      for (JobState* s : ready) {
        s->work = s->function->makeJob(
            JobContext{*db_, *s->messages, s->terminal, *s->file, &list, &shared});
        loop.push_back({s->work.get(), &*s->messages, s->function->style});
        if (const KnownTerminal& t = terminals_.at(s->job->terminal); t.filtered) {
          list.ReadClients();
          loop.back().clients =
              &filters.emplace_back(options_.transactionPerPass ? s->clients : t.clients);
        }
      }
      const Messages watchLines(nullLines_.get(), false);
      PassWatch watch({loop.data(), loop.size()}, progress_, *db_);
      loop.push_back({&watch, &watchLines, {}});
      progress_.StartPass();
      RunBadgeLoop(list, ready.front()->terminal, loop);
      // Lost on the last rows, after the watch last looked.
      if (!db_->ViewKept())
        for (LoopJob& j : loop)
          if (j.status == sqlhlp::kOk) j.status = kViewLost;
      // Lines that did not reach the caller (standard output closed, a full disk): as zibrolt
      // does, no file is put in place by a run that cannot say what it did.
      if (std::fflush(out_) != 0 || std::ferror(out_))
        for (LoopJob& j : loop)
          if (j.status == sqlhlp::kOk) j.status = kOutputLost;
      FinishAll(ready, loop);
    }
    // The lines of the pass's jobs, each job's together, in job order. A stopped job's are
    // dropped: the run's last line names it.
    for (auto& s : states) {
      if (outcomes_[s->index].stopped) {
        s->lines.Discard();
        continue;
      }
      if (!s->lines.Emit(out_)) outcomes_[s->index].ok = false;
      if (!s->linesError.empty())
        std::fprintf(out_, "Auftrag Zeile %d: Meldungen nicht geschrieben (%s), Downloaddatei %s "
                     "bleibt unveraendert!\n",
                     s->job->line, s->linesError.c_str(), Shown(s->job->path).c_str());
    }
  }

  // Puts the pass's files in place. Each commit waits for its data to reach the disk; the
  // waits overlap on several threads (the files of a pass are distinct, each thread works on
  // its own jobs' files and lines).
  void FinishAll(const std::vector<JobState*>& ready, const std::vector<LoopJob>& loop) {
    std::atomic<std::size_t> next{0};
    auto work = [&] {
      for (std::size_t k; (k = next++) < ready.size();) Finish(*ready[k], &loop[k]);
    };
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < std::min(ready.size(), kCommitThreads); ++t)
      threads.emplace_back(work);
    work();
    for (std::thread& t : threads) t.join();
  }

  // Puts the job's file in place (or discards it) and records the outcome.
  void Finish(JobState& s, const LoopJob* loop) {
    JobOutcome& outcome = outcomes_[s.index];
    // Its lines must reach their file before the job's file is put in place; the reason shows
    // on standard output, where a full log folder cannot hide it.
    // (Several threads finish jobs: the text comes from the error code, not from strerror.)
    errno = 0;
    if (loop && s.file && (std::fflush(s.lines.stream()) != 0 || std::ferror(s.lines.stream()))) {
      const int error = errno;
      s.linesError =
          error != 0 ? std::error_code(error, std::generic_category()).message() : "Schreibfehler";
    } else if (loop && s.file && loop->status == kStopped) {
      outcome.stopped = true;
    } else if (loop && s.file && loop->status == kOutputLost) {
      // No line of it can reach the caller; the run ends with -1.
    } else if (loop && s.file && loop->status == kViewLost) {
      std::fprintf(s.lines.stream(),
                   "Datenbank hat die Lesetransaktion nach einem Fehler beendet, Downloaddatei %s "
                   "bleibt unveraendert!\n",
                   Shown(s.job->path).c_str());
    } else if (loop && s.file) {
      outcome.ok =
          FinishDownload(s.lines.stream(), *db_, s.function, loop->status, *s.file, s.job->path);
      outcome.written = loop->written;
    }
    if (loop) outcome.read = loop->read;
    s.work.reset();
    s.file.reset();  // an unfinished file is discarded here, the target untouched
    outcome.seconds = std::chrono::duration<double>(Clock::now() - s.start).count();
    const std::lock_guard<std::mutex> hold(progressLock_);
    progress_.JobDone();
  }

  struct CloseFile {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };

  const SiteOptions& options_;
  const std::vector<SiteJob>& jobs_;
  std::vector<JobOutcome>& outcomes_;
  std::FILE* out_;
  Progress progress_;
  std::mutex progressLock_;
  std::unique_ptr<sqlhlp::Connection> db_;
  std::unique_ptr<ChangeLog> changes_;  // shared by the jobs' commits, which append whole lines
  std::map<std::string, KnownTerminal> terminals_;
  std::unique_ptr<std::FILE, CloseFile> nullLines_;
};

}  // namespace

void RequestStop() { gStop = true; }
bool StopRequested() { return gStop; }

bool RunJobs(const SiteOptions& options, const std::vector<SiteJob>& jobs,
             std::vector<JobOutcome>& outcomes, std::FILE* out, std::FILE* err) {
  outcomes.assign(jobs.size(), JobOutcome{});
  return SiteRun(options, jobs, outcomes, out, err).Run();
}

}  // namespace zibrolt::site
