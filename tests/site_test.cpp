// zibrolt-site against single runs: every file of a site run is byte for byte the file zibrolt
// writes for the same job, and each job's lines are the single run's lines; a job that fails
// keeps its old file while the others are put in place; a jobs file with a bad line runs
// nothing.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "client/fault_injection.hpp"
#include "tests/harness.hpp"
#include "tools/site/job_file.hpp"
#include "tools/site/make_jobs.hpp"
#include "tools/site/shadow.hpp"
#include "tools/site/site_run.hpp"
#include "tools/site/summary.hpp"

using zibrolt::site::SiteJob;

namespace zibrolt::test {
namespace {

namespace fs = std::filesystem;

RunResult Site(const Installation& inst, const std::string& args) {
  return inst.RunCommand("exec '" ZIBROLT_SITE_BIN "' " + args);
}

std::string DemoSql() {
  std::string sql;
  for (const char* f : {"demo.sql", "badges-extra.sql", "balances-extra.sql"})
    sql += ReadFile(fs::path(ZIBROLT_SOURCE_DIR) / "tools" / "demo" / f) + "\n";
  // A terminal's list holds a badge once per assignment row of its client: twice here.
  return sql + "INSERT INTO Kvd115Tfz VALUES ('ZE-HAUPTEINGANG', 1, 1, NULL);\n";
}

// Each job's lines in the site output, by the line number its header names.
std::map<int, std::string> JobLines(const std::string& output) {
  std::map<int, std::string> lines;
  std::string* current = nullptr;
  std::size_t at = 0;
  while (at < output.size()) {
    const std::size_t end = output.find('\n', at);
    const std::string line = output.substr(at, end - at + 1);
    at = end == std::string::npos ? output.size() : end + 1;
    int number = 0;
    if (line.rfind("Auftrag ", 0) == 0 && std::sscanf(line.c_str(), "%*[^(](Zeile %d)", &number))
      current = &lines[number];
    else if (line.rfind("Zusammenfassung:", 0) == 0)
      current = nullptr;
    else if (current)
      *current += line;
  }
  return lines;
}

struct Source {
  const char* name;
  bool generated;  // a benchmark installation instead of the demo
};

// The statements executed by the runs whose counters went to path (ZIBROLT_STATS).
long Executions(const fs::path& path) {
  long executions = 0;
  const std::string stats = ReadFile(path);
  for (std::size_t at = stats.find("executions="); at != std::string::npos;
       at = stats.find("executions=", at + 1))
    executions += std::atol(stats.c_str() + at + 11);
  return executions;
}

class SiteSameBytes : public ::testing::TestWithParam<Source> {};

TEST_P(SiteSameBytes, EveryFileAndEveryLineAsTheSingleRun) {
  const Source source = GetParam();
  if (source.generated && *ZIBROLT_BENCH_DB_BIN == '\0')
    GTEST_SKIP() << "no installation generator at hand";
  Installation inst(source.generated ? "" : DemoSql());
  if (source.generated) {
    fs::remove(inst.database());
    const RunResult made =
        Shell(std::string("'") + ZIBROLT_BENCH_DB_BIN + "' --badges 400 --terminals 4 '" +
                  inst.database().generic_string() + "'",
              inst.root());
    ASSERT_EQ(made.exitStatus, 0) << made.output;
  }
  // The helper's jobs, then two appending jobs on one file and one with "/d".
  const RunResult made = Site(inst,
                              "--make-jobs 'idstamm MGDNL17P MGDNL18P MGDNL31P MGDNL60P' "
                              "'../../out/{terminal}-{function}.dnl' 2>&1 >jobs.txt");
  ASSERT_EQ(made.exitStatus, 0) << made.output;
  std::string jobs = ReadFile(inst.root() / "work" / "run" / "jobs.txt");
  std::vector<SiteJob> parsed;
  ASSERT_TRUE(site::ParseJobs(jobs, parsed).empty());
  ASSERT_GE(parsed.size(), 10u);
  const std::string first = parsed[0].terminal, last = parsed.back().terminal;
  jobs += "# appended in job order\nMGDNL31P\t" + first + " ../../out/both.dnl 0\n";
  jobs += "MGDNL60P " + last + " \"../../out/both.dnl\" 0\n";
  jobs += "mgdnl17p " + last + " ../../out/verbose.dnl 1 /d\n";
  WriteFile(inst.root() / "work" / "run" / "jobs.txt", jobs);

  parsed.clear();
  site::ParseJobs(jobs, parsed);
  fs::create_directories(inst.root() / "single");
  WriteFile(inst.root() / "single" / "both.dnl", "old\n");
  std::map<int, std::string> singleLines;
  inst.SetRunEnvironment({"ZIBROLT_STATS=" + (inst.root() / "single.stats").string()});
  for (const SiteJob& job : parsed) {
    const std::string single = "../../single/" + fs::path(job.path).filename().string();
    std::vector<std::string> args = {"--changes", "../../single.csv", job.function,
                                     job.terminal,  single,             job.create ? "1" : "0"};
    if (job.verbose) args.push_back("/d");
    const RunResult run = inst.Run(args);
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    singleLines[job.line] = run.output.substr(run.output.find('\n') + 1);  // after the connect
  }
  // A transaction per pass reads the same database here: nothing writes during the run.
  for (const char* options : {"", "--transaction-per-pass "}) {
    if (source.generated && *options) continue;
    SCOPED_TRACE(options);
    inst.WriteOut("old\n", "both.dnl");
    const bool changes = *options == '\0';  // the files are new only the first time
    const fs::path siteStats = inst.root() / (std::string(options) + "site.stats");
    inst.SetRunEnvironment({"ZIBROLT_STATS=" + siteStats.string()});
    const RunResult site =
        Site(inst, std::string(options) + (changes ? "--changes ../../site.csv " : "") + "jobs.txt");
    ASSERT_EQ(site.exitStatus, 0) << site.output;
    // The jobs of a pass share its lookups: the same files from fewer statements than the
    // single runs execute.
    EXPECT_LT(Executions(siteStats), Executions(inst.root() / "single.stats"));
    // The jobs' commits run on several threads: the same lines, but not in job order.
    const auto changeLines = [](const std::string& log) {
      std::multiset<std::string> lines;
      for (std::size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.insert(log.substr(at + 22, end - at - 22));  // without the run's time
      return lines;
    };
    if (changes) {
      EXPECT_GT(changeLines(ReadFile(inst.root() / "site.csv")).size(), parsed.size());
      EXPECT_EQ(changeLines(ReadFile(inst.root() / "site.csv")),
                changeLines(ReadFile(inst.root() / "single.csv")));
    }
    const std::map<int, std::string> lines = JobLines(site.output);
    for (const SiteJob& job : parsed) {
      EXPECT_BYTES(singleLines.at(job.line), lines.at(job.line)) << "line " << job.line;
      const std::string name = fs::path(job.path).filename().string();
      EXPECT_BYTES(ReadFile(inst.root() / "single" / name), inst.ReadOut(name)) << name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Installations, SiteSameBytes,
                         ::testing::Values(Source{"demo", false}, Source{"generated", true}),
                         [](const auto& p) { return std::string(p.param.name); });

// The failed jobs the closing lines of a site run name, by their line numbers.
std::set<int> FailedLines(const std::string& output) {
  std::set<int> failed;
  for (std::size_t at = output.find("\nFehlgeschlagen: Zeile "); at != std::string::npos;
       at = output.find("\nFehlgeschlagen: Zeile ", at + 1))
    failed.insert(std::atoi(output.c_str() + at + 23));
  return failed;
}

// Each job of a jobs file ends as the same zibrolt run: the same file, the same lines, the same
// status; the night ends with 0 only when every single run would have. The cases are the
// mistakes a jobs file meets at sites, and a withdrawn terminal, which is how a site locks one.
TEST(Site, EachJobEndsAsItsSingleRun) {
#ifdef _WIN32
  // Windows hands a program its arguments through the system's code page, which Wine does not
  // set to Windows-1252: the single run would be asked for another name than the job.
  const char* const renamed = "ZE-KANTINE-ALT";
#else
  const char* const renamed = "ZE-KANT\xC4NE";
#endif
  // A withdrawn terminal with an assignment lists that assignment's badges.
  Installation inst(DemoSql() +
                    "INSERT INTO Kvd1140Trm VALUES ('ZE-ZU', '7744-010', 'PERS', 4, 1, 1, 1);\n"
                    "INSERT INTO Kvd115Tfz VALUES ('ZE-ZU', 1, 1, NULL);\n");
  const struct {
    const char* function;
    const char* terminal;
    const char* mode;
    int status;  // of the single run, and so of the job
    bool kept;   // the old file stays as it was
  } kCases[] = {
      {"MGDNL17P", "ze-kantine", "1", 255, true},   // letter case
      {"MGDNL17P", "ze-kantine", "0", 255, true},   // appending
      {"MGDNL31P", "ZE-KANTINE ", "1", 255, true},  // a trailing blank
      {"IDSTAMM", renamed, "1", 255, true},         // a renamed terminal
      {"IDSTAMM", "ZE-ALT", "1", 0, false},         // withdrawn: its file empty
      {"MGDNL31P", "ZE-ALT", "0", 0, true},         // withdrawn, appending nothing
      {"MGDNL17P", "ZE-ZU", "1", 0, false},         // withdrawn, with an assignment
      {"MGDNL17", "ZE-KANTINE", "1", 255, true},    // an unknown function
      {"mgdnl17p", "ZE-KANTINE", "1", 0, false},    // a good job
  };
  fs::create_directories(inst.root() / "single");
  std::string jobs;
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    const auto& c = kCases[i];
    const std::string name = "c" + std::to_string(i) + ".dnl";
    inst.WriteOut("old " + name, name);
    WriteFile(inst.root() / "single" / name, "old " + name);
    jobs += std::string(c.function) + " \"" + c.terminal + "\" ../../out/" + name + " " + c.mode +
            "\n";
  }
  WriteFile(inst.root() / "work" / "run" / "jobs.txt", jobs);
  const RunResult site = Site(inst, "jobs.txt");
  EXPECT_EQ(site.exitStatus, 255) << site.output;
  const std::map<int, std::string> lines = JobLines(site.output);
  const std::set<int> failed = FailedLines(site.output);

  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    const auto& c = kCases[i];
    const int line = static_cast<int>(i) + 1;
    const std::string name = "c" + std::to_string(i) + ".dnl";
    SCOPED_TRACE(std::string(c.function) + " '" + c.terminal + "' " + c.mode);
    const RunResult single = inst.Run({c.function, c.terminal, "../../single/" + name, c.mode});
    EXPECT_EQ(single.exitStatus, c.status) << single.output;
    EXPECT_EQ(failed.count(line), c.status == 0 ? 0u : 1u) << site.output;
    EXPECT_BYTES(single.output.substr(single.output.find('\n') + 1),
                 lines.count(line) ? lines.at(line) : "");
    const std::string file = ReadFile(inst.root() / "single" / name);
    EXPECT_BYTES(file, inst.ReadOut(name));
    EXPECT_EQ(file == "old " + name, c.kept);
  }
}

// --make-jobs lists every terminal, withdrawn ones too, each under a file name of its own; a
// terminal it cannot list fails it with nothing written, so that no night leaves it out.
TEST(Site, MakeJobsListsEveryTerminalUnderItsOwnName) {
  const struct {
    const char* terminal;
    const char* name;
  } kNames[] = {
      {"HALLE 2", "HALLE%202"}, {"HALLE_2", "HALLE_2"}, {"HALLE%202", "HALLE%25202"},
      {"a/b\\c", "a%2Fb%5Cc"}, {"..", "%2E%2E"},    {"v1.2", "v1.2"},
      {"K\xC4SE", "K%C4SE"},    {"", ""},
  };
  for (const auto& c : kNames) EXPECT_EQ(site::EscapeName(c.terminal), c.name) << c.terminal;

  Installation inst(DemoSql() +
                    "INSERT INTO Kvd1140Trm VALUES ('HALLE 2', 'ZK-40', NULL, 1, 1, 1, 1), "
                    "('HALLE_2', 'ZK-40', NULL, 1, 1, 1, 1);");
  const std::string makeJobs = "--make-jobs IDSTAMM '../../out/{terminal}.dnl' >jobs.txt";
  RunResult run = Site(inst, makeJobs);
  ASSERT_EQ(run.exitStatus, 0) << run.output;
  const std::string jobs = ReadFile(inst.root() / "work" / "run" / "jobs.txt");
  EXPECT_NE(jobs.find("IDSTAMM \"HALLE 2\" ../../out/HALLE%202.dnl 1\n"), std::string::npos)
      << jobs;
  EXPECT_NE(jobs.find("IDSTAMM ZE-ALT ../../out/ZE-ALT.dnl 1\n"), std::string::npos) << jobs;
  run = Site(inst, "jobs.txt");
  EXPECT_EQ(run.exitStatus, 0) << run.output;
  EXPECT_NE(run.output.find("Terminal ZE-ALT ist gesperrt"), std::string::npos);
  EXPECT_EQ(inst.ReadOut("ZE-ALT.dnl"), "");
  EXPECT_EQ(inst.OutFolderEntries().size(), 7u);  // the demo's five terminals and the two halls

  // A name the jobs file cannot quote, and one whose file path is too long for zibrolt.
  for (const std::string& bad : {std::string("SAY \"HI\""), std::string(190, 'L')}) {
    inst.Sql("INSERT INTO Kvd1140Trm VALUES ('" + bad + "', 'ZK-40', NULL, 1, 1, 1, 1);");
    run = Site(inst, makeJobs + " 2>err.txt");
    EXPECT_EQ(run.exitStatus, 255);
    const std::string err = ReadFile(inst.root() / "work" / "run" / "err.txt");
    EXPECT_NE(err.find("Terminal " + bad + " nicht auflistbar"), std::string::npos) << err;
    EXPECT_EQ(ReadFile(inst.root() / "work" / "run" / "jobs.txt"), "");
    inst.Sql("DELETE FROM Kvd1140Trm WHERE TrmNam = '" + bad + "';");
  }
}

// Runs the jobs in this process, so that a fault can be injected, with the failure armed at
// point's nth occurrence. Returns what RunJobs returned; output gets the lines.
bool RunHere(const Installation& inst, const std::vector<SiteJob>& jobs, faults::Point point,
             int nth, std::vector<site::JobOutcome>& outcomes, std::string& output) {
  if (OdbcMode()) SetEnvironment("ODBCINI", inst.OdbcIni().string());
  const CapturedOutput out;
  const fs::path before = fs::current_path();
  fs::current_path(inst.root() / "work" / "run");  // NET8 names the database from there
  site::SiteOptions options;
  options.settingsPath = (inst.root() / "files" / "quarvenda.ini").string();
  faults::Arm(point, nth);
  const bool ran = site::RunJobs(options, jobs, outcomes, out.get(), nullptr);
  faults::Disarm();
  fs::current_path(before);
  output = out.Text();
  return ran;
}

// Once the database has ended the run's read transaction (SQLite rolls it back after some
// errors), every file not yet in place fails, kept as it was: the rows from then on would come
// from a later database than the files before.
TEST(Site, ReadTransactionEndedFailsTheJobsNotYetInPlace) {
  Installation inst(DemoSql());
  std::vector<SiteJob> jobs;
  // Three jobs in the first pass, and a second one appending to c.dnl in the next.
  for (const char* name : {"a.dnl", "b.dnl", "c.dnl", "c.dnl"}) {
    inst.WriteOut(std::string("old ") + name, name);
    const bool append = name[0] == 'c';
    jobs.push_back({static_cast<int>(jobs.size()) + 1, append ? "MGDNL31P" : "IDSTAMM",
                    "ZE-HAUPTEINGANG", inst.OutPath(name).string(), !append, false});
  }
  std::vector<site::JobOutcome> outcomes;
  std::string output;
  // Looked at before the first pass, then at each row: lost on the second row.
  EXPECT_FALSE(RunHere(inst, jobs, faults::Point::kViewLost, 3, outcomes, output));
  for (const char* name : {"a.dnl", "b.dnl", "c.dnl"})
    EXPECT_EQ(inst.ReadOut(name), std::string("old ") + name);
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(outcomes[i].ok);
    EXPECT_EQ(outcomes[i].started, i < 3);
  }
  EXPECT_NE(output.find("Lesetransaktion nach einem Fehler beendet, Downloaddatei " +
                        jobs[1].path + " bleibt unveraendert!"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("Nicht ausgefuehrt: Zeile 4\n"), std::string::npos) << output;
}

// A write that fails midway fails its job only: its old file stays, the others are in place,
// and the run ends with -1 naming it. Run in this process so that the write can be failed.
TEST(Site, FailedJobKeepsItsOldFileAndTheOthersGoOn) {
  Installation inst(DemoSql());
  const std::vector<std::string> names = {"a.dnl", "b.dnl", "c.dnl"};
  std::vector<SiteJob> jobs;
  for (const std::string& name : names) {
    inst.WriteOut("old " + name, name);
    jobs.push_back({static_cast<int>(jobs.size()) + 1, "IDSTAMM", "ZE-HAUPTEINGANG",
                    inst.OutPath(name).string(), true, false});
  }
  jobs.push_back(
      {4, "MGDNL17P", "ZE-HAUPTEINGANG", (inst.root() / "nowhere" / "x").string(), true, false});
  std::vector<site::JobOutcome> outcomes;
  std::string output;
  // The second job's first write.
  EXPECT_TRUE(RunHere(inst, jobs, faults::Point::kWrite, 2, outcomes, output)) << output;
  ASSERT_EQ(outcomes.size(), 4u);
  EXPECT_TRUE(outcomes[0].ok && outcomes[2].ok) << output;
  EXPECT_FALSE(outcomes[1].ok);
  EXPECT_FALSE(outcomes[3].ok);
  EXPECT_EQ(inst.ReadOut("b.dnl"), "old b.dnl");
  EXPECT_EQ(inst.ReadOut("a.dnl"), inst.ReadOut("c.dnl"));
  EXPECT_NE(inst.ReadOut("a.dnl"), "old a.dnl");
  EXPECT_NE(output.find("Fehler beim Schreiben der Downloaddatei " + jobs[1].path),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("Downloadfile " + jobs[3].path + " konnte nicht geoeffnet werden!"),
            std::string::npos);
  EXPECT_EQ(inst.OutFolderEntries().size(), names.size());  // no temporary file left
}

// How a site run ends when its call, its output or its log folder is wrong: the exit status says
// so, the reason is shown where the caller looks, and no file is put in place by a run that
// could not say what it did.
TEST(Site, EndingsSayWhyAndKeepTheFiles) {
  Installation inst(DemoSql());
  WriteFile(inst.root() / "work" / "run" / "jobs.txt",
            "IDSTAMM ZE-HAUPTEINGANG ../../out/a.dnl 1\nIDSTAMM ZE-KANTINE ../../out/b.dnl 1\n");
  fs::create_directories(inst.root() / "work" / "run" / "logs");
#ifndef _WIN32
  // The first job's log file on a full disk.
  fs::create_symlink("/dev/full", inst.root() / "work" / "run" / "logs" /
                                      "0001-IDSTAMM-ZE-HAUPTEINGANG.log");
#endif
  const struct {
    const char* args;
    const char* says;  // in standard output and error
    bool aKept, bKept;
  } kCases[] = {
      {"--frobnicate jobs.txt 2>&1", "zibrolt-site: unknown option --frobnicate", true, true},
      {"jobs.txt --log-dir 2>&1", "zibrolt-site: --log-dir needs a value", true, true},
      {"2>&1", "zibrolt-site: no JOBFILE given", true, true},
      {"--make-jobs IDSTAMM 2>&1", "--make-jobs takes FUNCTIONS and PATTERN, got 1", true, true},
#ifndef _WIN32
      {"jobs.txt >&- 2>/dev/null", "", true, true},
      {"jobs.txt >/dev/full 2>/dev/null", "", true, true},
      {"--log-dir logs jobs.txt",
       "Auftrag Zeile 1: Meldungen nicht geschrieben (No space left on device), Downloaddatei "
       "../../out/a.dnl bleibt unveraendert!",
       true, false},
#endif
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.args);
    inst.WriteOut("old a", "a.dnl");
    inst.WriteOut("old b", "b.dnl");
    const RunResult run = Site(inst, c.args);
    EXPECT_EQ(run.exitStatus, 255) << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    EXPECT_EQ(inst.ReadOut("a.dnl") == "old a", c.aKept);
    EXPECT_EQ(inst.ReadOut("b.dnl") == "old b", c.bKept);
  }
}

#ifndef _WIN32
// Interrupted before its passes (here: while the jobs file was read), a site run says so in one
// line naming the jobs not run, none of them worded like a failed generator, the summary does
// not say that all succeeded, and every file stays as it was. Run in a child: the stop stays.
TEST(Site, InterruptedRunNamesTheJobsNotRun) {
  Installation inst(DemoSql());
  inst.WriteOut("old", "a.dnl");
  const std::vector<SiteJob> jobs = {
      {3, "IDSTAMM", "ZE-HAUPTEINGANG", inst.OutPath("a.dnl").string(), true, false},
      {4, "MGDNL31P", "ZE-KANTINE", inst.OutPath("b.dnl").string(), true, false}};
  const fs::path captured = inst.root() / "child.txt";
  const pid_t pid = fork();
  if (pid == 0) {
    std::FILE* out = std::fopen(captured.c_str(), "w");
    site::RequestStop();
    std::vector<site::JobOutcome> outcomes;
    std::string lines;
    const bool ran = RunHere(inst, jobs, faults::Point::kWrite, 0, outcomes, lines);
    std::fputs(lines.c_str(), out);
    const bool allOk = site::PrintSummary(jobs, outcomes, site::StopRequested(), out);
    std::fclose(out);
    _exit(ran || allOk ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const std::string output = ReadFile(captured);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
  EXPECT_NE(output.find("Programmabbruch: Signal empfangen, Lauf beendet! Nicht ausgefuehrt: "
                        "Zeile 3-4\n"),
            std::string::npos)
      << output;
  EXPECT_EQ(output.find("Fehler bei Erstellung"), std::string::npos) << output;
  EXPECT_EQ(output.find("Alle "), std::string::npos) << output;
  EXPECT_NE(output.find("Lauf unterbrochen: 0 von 2 Auftraegen erfolgreich."), std::string::npos);
  EXPECT_EQ(inst.OutFolderEntries(), std::vector<std::string>{"a.dnl"});
  EXPECT_EQ(inst.ReadOut("a.dnl"), "old");
}
#endif

// The summary's closing line never says that all succeeded when the run was interrupted, even
// after its last job; a terminal name with blanks shows in quotes.
TEST(Site, SummarySaysWhatTheExitStatusSays) {
  const std::vector<SiteJob> jobs = {{1, "IDSTAMM", "ZE-KANTINE ", "a.dnl", true, false},
                                     {2, "IDSTAMM", "T", "b.dnl", true, false}};
  site::JobOutcome ok;
  ok.ok = ok.started = true;
  site::JobOutcome stopped;
  stopped.started = stopped.stopped = true;
  const struct {
    std::vector<site::JobOutcome> outcomes;
    bool interrupted;
    bool result;
    const char* closing;
  } kCases[] = {
      {{ok, ok}, false, true, "Alle 2 Auftraege erfolgreich.\n"},
      {{ok, ok}, true, false, "Lauf unterbrochen: 2 von 2 Auftraegen erfolgreich.\n"},
      {{ok, stopped}, true, false, "Fehlgeschlagen: Zeile 2 IDSTAMM T b.dnl\n"},
  };
  for (const auto& c : kCases) {
    const CapturedOutput out;
    EXPECT_EQ(site::PrintSummary(jobs, c.outcomes, c.interrupted, out.get()), c.result);
    const std::string text = out.Text();
    EXPECT_NE(text.find(c.closing), std::string::npos) << text;
    EXPECT_EQ(text.find("Alle ") != std::string::npos, c.result) << text;
    EXPECT_NE(text.find(" \"ZE-KANTINE \" "), std::string::npos) << text;
    EXPECT_EQ(text.find("ABGEBROCHEN") != std::string::npos, !c.outcomes[1].ok) << text;
  }
}

// The night's report for a monitor says what the exit status says, job by job, on every ending
// (a stale report would show an earlier night as this one), and a report that cannot be put in
// place fails the run.
TEST(Site, NightReportOnEveryEnding) {
  Installation inst(DemoSql());
  const fs::path run = inst.root() / "work" / "run";
  WriteFile(run / "good.txt",
            "IDSTAMM ZE-HAUPTEINGANG ../../out/a.dnl 1\n"
            "MGDNL17P ZE-HAUPTEINGANG ../../nowhere/b.dnl 1\n");
  WriteFile(run / "bad.txt", "IDSTAMM ZE-HAUPTEINGANG\n");
  const struct {
    const char* args;
    int exitStatus;
    std::vector<std::string> says;  // in the report, or in the output when no report
  } kCases[] = {
      {"--summary night.json good.txt",
       255,
       {"\"exit_status\": -1,",
        "{\"line\": 1, \"function\": \"IDSTAMM\", \"terminal\": \"ZE-HAUPTEINGANG\", "
        "\"file\": \"../../out/a.dnl\", \"status\": \"ok\", \"read\": 487, \"written\": 468,",
        "\"status\": \"failed\", \"read\": 0, \"written\": 0,",
        "\"totals\": {\"jobs\": 2, \"ok\": 1, \"not_ok\": 1, \"read\": 487, \"written\": 468,"}},
      {"--summary night.json bad.txt", 255, {"\"exit_status\": -1,", "\"jobs\": [],"}},
      {"--summary nowhere/night.json good.txt",
       255,
       {"Zusammenfassung nowhere/night.json konnte nicht geschrieben werden"}},
      {"--summary nowhere.json good.txt",
       255,
       {"Zusammenfassung nowhere.json konnte nicht geschrieben werden"}},
  };
  fs::create_directories(run / "nowhere.json");  // a folder where the report would go
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.args);
    WriteFile(run / "night.json", "yesterday");
    const RunResult r = Site(inst, c.args);
    EXPECT_EQ(r.exitStatus, c.exitStatus) << r.output;
    const std::string report = ReadFile(run / "night.json");
    const bool reported = std::string_view(c.args).find("nowhere") == std::string_view::npos;
    EXPECT_EQ(report == "yesterday", !reported);
    for (const std::string& text : c.says)
      EXPECT_NE((reported ? report : r.output).find(text), std::string::npos) << report << r.output;
    for (const auto& entry : fs::directory_iterator(run))  // no temporary report left
      EXPECT_NE(entry.path().filename().string().rfind('.', 0), 0u) << entry.path();
  }
  EXPECT_EQ(inst.OutFolderEntries(), std::vector<std::string>{"a.dnl"});  // no temporary left
}

// A jobs file with any bad line runs nothing; each bad line is named. Stricter than zibrolt's
// command line where a loose reading would write a wrong file: the mode, shared files.
TEST(Site, BadJobsFileRunsNothing) {
  Installation inst(DemoSql());
  struct Case {
    const char* line;
    const char* says;
  } cases[] = {
      {"IDSTAMM ZE-HAUPTEINGANG ../../out/x.dnl", "zu wenige Felder"},
      {"IDSTAMM ZE-HAUPTEINGANG ../../out/x.dnl 1 /d extra", "zu viele Felder"},
      {"IDSTAMM ZE-HAUPTEINGANG ../../out/x.dnl 1 /D", "fuenftes Feld ist nicht /d"},
      {"IDSTAMM \"ZE HAUPT ../../out/x.dnl 1", "Anfuehrungszeichen nicht geschlossen"},
      {"IDSTAMM ZE\"X ../../out/x.dnl 1", "Anfuehrungszeichen mitten im Feld"},
      {"IDSTAMM \"ZE\"X ../../out/x.dnl 1", "Zeichen direkt nach schliessendem"},
      {"IDSTAMM ZE-HAUPTEINGANG \"\" 1", "Pfad der DNL-Datei leer"},
      {"IDSTAMM ZE-HAUPTEINGANG ../../out/x.dnl \"\"", "Modus \"\" ist weder 1 (neu) noch 0"},
      {"IDSTAMM ZE-HAUPTEINGANG ../../out/x.dnl l", "Modus \"l\" ist weder"},
      {"IDSTAMM ZE-HAUPTEINGANG ../../out/x.dnl 10", "Modus \"10\" ist weder"},
      {"IDSTAMM ZE-KANTINE ../../out/g.dnl 0", "Datei ../../out/g.dnl auch in Zeile 3"},
      {"IDSTAMM ZE-KANTINE ../../out/./g.dnl 1", "Datei ../../out/./g.dnl auch in Zeile 3"},
      {"MGDNL17P01234567890123 T ../../out/x.dnl 1", "Param1 (DNL-Funktion) zu lang: 22"},
  };
  std::string jobs =
      "# good lines around the bad ones\n\nIDSTAMM ZE-HAUPTEINGANG ../../out/g.dnl 1\n";
  for (const Case& c : cases) jobs += std::string(c.line) + "\n";
  WriteFile(inst.root() / "work" / "run" / "jobs.txt", jobs);
  const RunResult run = Site(inst, "jobs.txt");
  EXPECT_EQ(run.exitStatus, 255);
  int line = 4;
  for (const Case& c : cases)
    EXPECT_NE(run.output.find("Zeile " + std::to_string(line++) + ": " + c.says), std::string::npos)
        << c.line << "\n"
        << run.output;
  EXPECT_NE(run.output.find("kein Auftrag ausgefuehrt"), std::string::npos);
  EXPECT_TRUE(inst.OutFolderEntries().empty());  // not even the good job ran
#ifndef _WIN32
  // Not a regular file: refused at once, where a FIFO without a writer would hang in open().
  ASSERT_EQ(::mkfifo((inst.root() / "work" / "run" / "jobs.fifo").c_str(), 0600), 0);
  for (const char* name : {"jobs.fifo", "."}) {
    const RunResult refused = Site(inst, name);
    EXPECT_EQ(refused.exitStatus, 255);
    EXPECT_EQ(refused.output, "Auftragsdatei " + std::string(name) + " ist keine normale Datei!\n");
  }
#endif
  // Standard input as "-", here a pipe, starting with a byte order mark; jobs that all append
  // may share a file.
  WriteFile(inst.root() / "work" / "run" / "jobs.txt",
            "\xEF\xBB\xBFIDSTAMM ZE-HAUPTEINGANG ../../out/g.dnl 0\n"
            "IDSTAMM ZE-KANTINE ../../out/g.dnl 0\n");
  const RunResult piped = inst.RunCommand("cat jobs.txt | '" ZIBROLT_SITE_BIN "' -");
  EXPECT_EQ(piped.exitStatus, 0) << piped.output;
  EXPECT_NE(inst.ReadOut("g.dnl"), "");

  // A quoted field holds blanks and tabs are separators; a "#" field starts a comment.
  std::vector<std::string> fields;
  std::string problem;
  ASSERT_TRUE(site::SplitJobLine("IDSTAMM\t\"ZE HAUPT\"  a.dnl 1 # x", fields, &problem));
  EXPECT_EQ(fields, (std::vector<std::string>{"IDSTAMM", "ZE HAUPT", "a.dnl", "1"}));
}

// A shadow night: every job writes under the shadow folder, each file is compared with the live
// one the old program wrote, and the live files and their folder are left exactly as they were.
// Differences are decoded by field with the PIN withheld, and the night's line reaches the
// ledger.
TEST(Site, ShadowNightComparesAndLeavesTheLiveFiles) {
  // Names that could meet in the shadow folder: the line number before the first "-" parts them.
  const struct {
    int line;
    const char* path;
    const char* name;
  } kNames[] = {
      {7, "/srv/a/HALLE 2.dnl", "0007-HALLE%202.dnl"},
      {7, "/srv/b/HALLE%202.dnl", "0007-HALLE%25202.dnl"},
      {12345, "x-1.dnl", "12345-x-1.dnl"},
      {1, "K\xC4SE/..", "0001-%2E%2E"},
  };
  for (const auto& c : kNames)
    EXPECT_EQ(site::ShadowFileName({c.line, "IDSTAMM", "T", c.path, true, false}), c.name);

  Installation inst(DemoSql());
  // The live files as the old program would have left them: zibrolt's own, one edited.
  for (const char* name : {"same.dnl", "diff.dnl", "append.dnl"})
    ASSERT_EQ(inst.Generate("IDSTAMM", "ZE-HAUPTEINGANG", name).exitStatus, 0);
  std::string edited = inst.ReadOut("diff.dnl");
  const std::size_t firstEnd = edited.find("\r\n");
  const std::size_t pinAt = edited.rfind(",\"", firstEnd) + 2;
  edited.replace(pinAt, edited.find('"', pinAt) - pinAt, "98765");  // the first badge's PIN
  const std::size_t typeAt = edited.rfind(",\"", pinAt - 3) + 2;    // and its badge type
  edited.replace(typeAt, edited.find('"', typeAt) - typeAt, "XY");
  edited.erase(edited.rfind("\r\n", edited.size() - 3) + 2);  // the last badge gone
  inst.WriteOut(edited, "diff.dnl");

  const struct {
    const char* job;
    const char* line;  // what the night says of it
  } kJobs[] = {
      {"IDSTAMM ZE-HAUPTEINGANG ../../out/same.dnl 1", "Zeile 1 IDSTAMM ZE-HAUPTEINGANG: gleich"},
      {"IDSTAMM ZE-HAUPTEINGANG ../../out/diff.dnl 1",
       "Zeile 2 IDSTAMM ZE-HAUPTEINGANG: 2 Unterschiede"},
      {"IDSTAMM ZE-HAUPTEINGANG ../../out/missing.dnl 1",
       "Zeile 3 IDSTAMM ZE-HAUPTEINGANG: Live-Datei fehlt"},
      {"MGDNL17 ZE-HAUPTEINGANG ../../out/gone.dnl 1",
       "Zeile 4 MGDNL17 ZE-HAUPTEINGANG: Auftrag fehlgeschlagen"},
      // Appended to a copy of the live file: each record a second time.
      {"IDSTAMM ZE-HAUPTEINGANG ../../out/append.dnl 0", "Zeile 5 IDSTAMM ZE-HAUPTEINGANG: "},
  };
  const std::string appended = inst.ReadOut("append.dnl");
  std::size_t records = 0;
  for (std::size_t at = 0; (at = appended.find("\r\n", at)) != std::string::npos; at += 2)
    ++records;
  std::string jobs;
  for (const auto& j : kJobs) jobs += std::string(j.job) + "\n";
  WriteFile(inst.root() / "work" / "run" / "jobs.txt", jobs);

  std::map<std::string, std::pair<std::string, fs::file_time_type>> before;
  for (const std::string& name : inst.OutFolderEntries())
    before[name] = {inst.ReadOut(name), fs::last_write_time(inst.OutPath(name))};
  const fs::file_time_type folderTime = fs::last_write_time(inst.root() / "out");

  const std::string night = "--shadow ../../shadow --shadow-ledger ../../ledger.csv jobs.txt";
  const RunResult run = Site(inst, night);
  EXPECT_EQ(run.exitStatus, 255) << run.output;
  for (const auto& j : kJobs) {
    std::string line = j.line;
    if (line.back() == ' ') line += std::to_string(records) + " Unterschiede";
    EXPECT_NE(run.output.find(line + "\n"), run.output.npos) << line << "\n" << run.output;
  }
  EXPECT_NE(run.output.find("Schattenvergleich: 5 Auftraege, 1 gleich, 3 verschieden, 1 "
                            "fehlgeschlagen.\n"),
            run.output.npos)
      << run.output;

  std::map<std::string, std::pair<std::string, fs::file_time_type>> after;
  for (const std::string& name : inst.OutFolderEntries())
    after[name] = {inst.ReadOut(name), fs::last_write_time(inst.OutPath(name))};
  EXPECT_TRUE(before == after);
  EXPECT_EQ(fs::last_write_time(inst.root() / "out"), folderTime);
  EXPECT_BYTES(inst.ReadOut("same.dnl"), ReadFile(inst.root() / "shadow" / "0001-same.dnl"));
  EXPECT_BYTES(appended + appended, ReadFile(inst.root() / "shadow" / "0005-append.dnl"));

  const std::string report = ReadFile(inst.root() / "shadow" / site::kShadowReportName);
  EXPECT_NE(report.find(": badge_type \"XY\" -> \"2\", pin verschieden (geheim)\n"), report.npos)
      << report;
  EXPECT_EQ(report.find("98765"), report.npos) << report;
  EXPECT_NE(report.find("  neu       Ausweis "), report.npos) << report;

  // A night without failures; the ledger holds one line per night.
  const std::size_t failing = jobs.find("MGDNL17 ");
  jobs.erase(failing, jobs.find('\n', failing) + 1 - failing);
  WriteFile(inst.root() / "work" / "run" / "jobs.txt", jobs);
  EXPECT_EQ(Site(inst, night).exitStatus, 1);
  const std::string ledger = ReadFile(inst.root() / "ledger.csv");
  ASSERT_EQ(ledger.size(), 2 * std::string("yyyy-mm-dd hh:mm:ss,5,1,3,1\r\n").size()) << ledger;
  EXPECT_EQ(ledger.substr(19, 11), ",5,1,3,1\r\n2");
  EXPECT_EQ(ledger.substr(ledger.size() - 10), ",4,1,3,0\r\n");

  // A shadow night replaces no live file: nothing to log, and no night report for a monitor.
  const struct {
    const char* args;
    const char* says;
  } kRefused[] = {
      {"--changes ../../c.csv --shadow ../../shadow", "cannot be combined with --changes"},
      {"--shadow ../../shadow --summary ../../s.json", "cannot be combined with --summary"},
      {"--shadow-ledger ../../ledger.csv", "--shadow-ledger needs --shadow"},
      // Locks and temporary files would appear beside the live files.
      {"--shadow ../../out --shadow-ledger ../../ledger.csv", "ist der Ordner der Datei"},
  };
  for (const auto& c : kRefused) {
    const RunResult refused = Site(inst, std::string(c.args) + " jobs.txt 2>&1");
    EXPECT_EQ(refused.exitStatus, 255);
    EXPECT_NE(refused.output.find(c.says), refused.output.npos) << refused.output;
  }
  EXPECT_EQ(ReadFile(inst.root() / "ledger.csv"), ledger);
  EXPECT_FALSE(fs::exists(inst.root() / "c.csv"));
}

}  // namespace
}  // namespace zibrolt::test
