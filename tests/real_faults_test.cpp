// Faults as a site meets them, without any test seam: a damaged or incomplete database, a
// database held by a writer, a date the database cannot convert in the middle of the badge
// list, a full device, a folder that cannot be written, and a run killed half-way. Each must
// end in a message and exit status -1 with the old download file as it was, and leave nothing
// behind that a later run does not clean up.
#include <gtest/gtest.h>
#include <sqlite3.h>
#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Terminal T1 (no client assignments, so every badge) with time class Z, and count badges
// 10001.. that may all book time there.
std::string ManyBadges(int count) {
  const std::string n = std::to_string(count);
  return "INSERT INTO Kvd1140Trm VALUES ('T1', '7744-010', 'TS', 1, 1, 1, 1);"
         "INSERT INTO MGSST35P VALUES ('T1', 'Z', '1');"
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
         n +
         ") "
         "INSERT INTO Kvd301Asw (AswNum, AswGvo, AswPnr, AswBkl, AswSpr, AswSta) "
         "SELECT printf('%d', 10000 + i), date('now','localtime','-1 days'), printf('P%d', i), "
         "'Z', 1, 1 FROM n;"
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
         n +
         ") "
         "INSERT INTO Kvd113Awv SELECT printf('%d', 10000 + i), NULL, 1, 1 FROM n;"
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
         n +
         ") "
         "INSERT INTO Kvd301Awb SELECT printf('%d', 10000 + i), 'Z' FROM n;";
}

std::string AbortLine(const std::string& function) {
  return "Programmabbruch: Fehler bei Erstellung der Datei " + function + "!\n";
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

const char* const kAllFunctions[] = {"MGDNL17P", "MGDNL18P", "MGDNL31P", "MGDNL60P", "IDSTAMM"};

// Runs the function in both modes over an old file and expects -1, the old file as it was,
// no temporary file beside it and an output ending in ending.
void ExpectFailureKeepsOldFile(const Installation& inst, const std::string& function,
                               const std::string& ending) {
  const std::string old = "old content of " + function + "\r\n";
  for (const char* mode : {"1", "0"}) {
    inst.WriteOut(old);
    RunResult r = inst.Generate(function, "T1", "out.dnl", mode);
    SCOPED_TRACE(function + " mode " + mode + "\n" + r.output);
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_TRUE(EndsWith(r.output, ending));
    EXPECT_EQ(inst.ReadOut(), old);
    EXPECT_EQ(inst.OutFolderEntries(), std::vector<std::string>{"out.dnl"});
  }
}

void Overwrite(const fs::path& file, std::uintmax_t offset, const std::string& bytes) {
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(offset));
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Pages of a table's b-tree that hold rows (dbstat), or just its root page where the library
// lacks that table.
std::vector<int> LeafPages(const fs::path& db, const std::string& table) {
  sqlite3* handle = nullptr;
  sqlite3_open_v2(db.string().c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
  std::vector<int> pages;
  for (const char* sql : {"SELECT pageno FROM dbstat WHERE name = ?1 AND pagetype = 'leaf' "
                          "ORDER BY pageno",
                          "SELECT rootpage FROM sqlite_schema WHERE name = ?1"}) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(handle, sql, -1, &st, nullptr) != SQLITE_OK) continue;
    sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW) pages.push_back(sqlite3_column_int(st, 0));
    sqlite3_finalize(st);
    if (!pages.empty()) break;
  }
  sqlite3_close(handle);
  return pages;
}

// The database's page size: bytes 16 and 17 of its header, big-endian, 1 standing for 65536.
std::uintmax_t PageSize(const fs::path& db) {
  const std::string head = ReadFile(db).substr(16, 2);
  const auto size = static_cast<std::uintmax_t>(static_cast<unsigned char>(head[0]) * 256 +
                                                static_cast<unsigned char>(head[1]));
  return size == 1 ? 65536 : size;
}

TEST(RealFaults, DamagedDatabaseFailsTheRunAndKeepsTheFile) {
  // The embedded database's own file faults; the SQLite ODBC driver reports them with other
  // numbers and at other steps.
  if (OdbcMode()) GTEST_SKIP() << "a fault of the embedded database file";
  Installation inst(ManyBadges(2000));
  // A page of badge rows in the middle of the list destroyed, in the table and in the index the
  // list is read from: records are already on their way when the database reports the damage.
  const std::uintmax_t page = PageSize(inst.database());
  for (const char* tree : {"Kvd301Asw", "Kvd301Asw_Listed"}) {
    const std::vector<int> pages = LeafPages(inst.database(), tree);
    ASSERT_FALSE(pages.empty()) << tree;
    Overwrite(inst.database(), static_cast<std::uintmax_t>(pages[pages.size() / 2] - 1) * page,
              std::string(page, '\xFF'));
  }
  for (const char* function : kAllFunctions)
    ExpectFailureKeepsOldFile(inst, function, AbortLine(function));
  // The database's own status reaches the operator.
  const RunResult damaged = inst.Generate("MGDNL17P", "T1");
  EXPECT_NE(damaged.output.find("FehlerCode EndWorkMgDnl17P: -11\n"), std::string::npos)
      << damaged.output;

  // A file that is no database at all is found out at the connect.
  Overwrite(inst.database(), 0, std::string(100, 'x'));
  ExpectFailureKeepsOldFile(
      inst, "IDSTAMM",
      "DB-Connect-Error: -26!Name:demo Pwd:******** Net:" + inst.Net() + " Schema:KORVADAT\n");
}

// A table the run needs and cannot read fails the run where it is needed, with a line naming
// the status; no lookup's failure is taken for "no value".
TEST(RealFaults, MissingTableFailsWhereItIsNeeded) {
  const std::vector<std::string> all(std::begin(kAllFunctions), std::end(kAllFunctions));
  const struct {
    const char* table;
    std::vector<std::string> functions;
    std::string line;  // printed before the run's last line
  } kCases[] = {
      {"Kvd1140Trm", all, "Terminal T1 konnte nicht gelesen werden! SQLCode:-1\n"},
      {"Kvd301Asw", all, ""},
      // Without the class tables no badge's rights can be told.
      {"Kvd301Awb", all, "Berechtigungen von Ausweis 10001 nicht lesbar! SQLCode:-1\n"},
      {"O2002TSW",
       {"MGDNL17P", "MGDNL60P"},
       "Saldodaten von Ausweis 10001 nicht lesbar! SQLCode:-1\n"},
      {"Kvd113Sto", {"MGDNL17P"}, "SQL Standortbez. Ermitteln. SQLCode:-1\n"},
      {"Kvd119Msd", {"MGDNL18P"}, "Anzeigetexte von Terminal T1 nicht lesbar! SQLCode:-1\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.table);
    Installation inst(ManyBadges(3));
    inst.Sql(std::string("DROP TABLE ") + c.table);
    for (const std::string& function : c.functions) {
      const bool terminal = std::string_view(c.table) == "Kvd1140Trm";
      ExpectFailureKeepsOldFile(inst, function, terminal ? c.line : AbortLine(function));
      EXPECT_NE(inst.Generate(function, "T1").output.find(c.line), std::string::npos) << function;
    }
  }
}

#ifndef _WIN32
// Holds an exclusive lock on the database from another process until released.
class LockHolder {
 public:
  explicit LockHolder(const fs::path& db) {
    int ready[2], release[2];
    // Close-on-exec: a zibrolt started meanwhile must not keep the release pipe open.
    if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(release, O_CLOEXEC) != 0)
      throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(release[1]);
      sqlite3* handle = nullptr;
      char ok =
          sqlite3_open(db.c_str(), &handle) == SQLITE_OK &&
                  sqlite3_exec(handle, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK
              ? 'y'
              : 'n';
      if (write(ready[1], &ok, 1) != 1) _exit(1);
      char c;
      while (read(release[0], &c, 1) > 0) {
      }
      _exit(0);  // the lock ends with the process
    }
    close(ready[1]);
    close(release[0]);
    release_ = release[1];
    char ok = 'n';
    if (read(ready[0], &ok, 1) != 1) ok = 'n';
    close(ready[0]);
    locked_ = ok == 'y';
  }
  ~LockHolder() { Release(); }
  bool locked() const { return locked_; }
  void Release() {
    if (release_ < 0) return;
    close(release_);
    release_ = -1;
    waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool locked_ = false;
};

#endif

TEST(RealFaults, LockedDatabaseIsWaitedForThenFailsClearly) {
#ifdef _WIN32
  GTEST_SKIP() << "the writer holding the lock is a forked process";
#else
  // The embedded database's own file faults; the SQLite ODBC driver reports them with other
  // numbers and at other steps.
  if (OdbcMode()) GTEST_SKIP() << "a fault of the embedded database file";
  Installation inst(ManyBadges(3));
  {
    LockHolder writer(inst.database());
    ASSERT_TRUE(writer.locked());
    inst.WriteOut("old");
    const auto start = Clock::now();
    RunResult r = inst.Generate("IDSTAMM", "T1");
    const auto waited = Clock::now() - start;
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.output, "DB-Connect-Error: -5!Name:demo Pwd:******** Net:" + inst.Net() +
                            " Schema:KORVADAT\n");
    EXPECT_GE(waited, std::chrono::milliseconds(2500));
    EXPECT_LT(waited, std::chrono::seconds(15));
    EXPECT_EQ(inst.ReadOut(), "old");
  }
  {
    // A writer that finishes within the wait holds nothing up.
    LockHolder writer(inst.database());
    ASSERT_TRUE(writer.locked());
    std::thread release([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(800));
      writer.Release();
    });
    RunResult r = inst.Generate("IDSTAMM", "T1");
    release.join();
    EXPECT_EQ(r.exitStatus, 0) << r.output;
    EXPECT_EQ(inst.ReadOut().size(), 3u * 73);
  }
#endif
}

TEST(RealFaults, UnconvertibleDateInTheMiddleOfTheBadgeList) {
  // The embedded database's own file faults; the SQLite ODBC driver reports them with other
  // numbers and at other steps.
  if (OdbcMode()) GTEST_SKIP() << "a fault of the embedded database file";
  Installation inst(ManyBadges(5));
  // The fourth badge's first day is no date. The database reads the list in index order, one
  // row ahead of the row it hands out (it orders rows equal in badge, start and class among
  // themselves), so the failure comes with the third fetch, after two badges went to the file.
  inst.Sql(
      "UPDATE Kvd301Asw SET AswGvo = '31.12.2020', AswGbi = date('now','+9 days') "
      "WHERE AswNum = '10004'");
  for (const char* function : kAllFunctions)
    ExpectFailureKeepsOldFile(inst, function, AbortLine(function));
  RunResult r = inst.Generate("MGDNL17P", "T1");
  // The line that names the row comes before the count, as the list's own lines do.
  EXPECT_EQ(r.output, kConnected +
                          "Ausweis 10004: AswGvo '31.12.2020' ist kein Datum!\n"
                          "Ausweise gesamt: 2 davon in Datei gestellt: 2\n"
                          "FehlerCode EndWorkMgDnl17P: -20\n" +
                          AbortLine("MGDNL17P"));
  r = inst.Generate("MGDNL31P", "T1");
  EXPECT_NE(r.output.find("Ausweiscursor lesen: Ausweis Nr. 2 RC: -20 \n"), std::string::npos)
      << r.output;

  // The first badge's date: the list fails at its opening; a generator that passes over a
  // failed open meets a cursor that is not open at its first fetch.
  inst.Sql(
      "UPDATE Kvd301Asw SET AswGvo = date('now','-1 days') WHERE AswNum = '10004';"
      "UPDATE Kvd301Asw SET AswGvo = '31.12.2020', AswGbi = date('now','+9 days') "
      "WHERE AswNum = '10001'");
  for (const char* function : kAllFunctions)
    ExpectFailureKeepsOldFile(inst, function, AbortLine(function));
  r = inst.Generate("MGDNL31P", "T1");
  EXPECT_EQ(r.output, kConnected +
                          "Ausweiscursor oeffnen: RC: -20 \n"
                          "Ausweiscursor lesen: RC: -1001 \n"
                          "Ausweis 10001: AswGvo '31.12.2020' ist kein Datum!\n"
                          "Ausweise gesamt: 0 davon in Datei gestellt: 0\n" +
                          AbortLine("MGDNL31P"));
}

#ifndef _WIN32
// A tmpfs mounted for the test; mounting needs root and a system that allows it.
class TmpfsMount {
 public:
  TmpfsMount(const fs::path& at, const char* options) : at_(at) {
    fs::create_directories(at);
    mounted_ = geteuid() == 0 && mount("tmpfs", at.c_str(), "tmpfs", 0, options) == 0;
  }
  ~TmpfsMount() {
    if (mounted_) umount2(at_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  bool RemountReadOnly() {
    return mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  fs::path at_;
  bool mounted_ = false;
};

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  return names;
}
#endif

TEST(RealFaults, FullDeviceEndsInTheWriteErrorAndKeepsTheFile) {
#ifdef _WIN32
  GTEST_SKIP() << "/dev/full and mounts are POSIX";
#else
  Installation inst(ManyBadges(3000));
  // A device that is always full is written in place; the failure must still be seen.
  RunResult r = inst.Run({"MGDNL17P", "T1", "/dev/full", "1"});
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_TRUE(EndsWith(r.output, "Fehler beim Schreiben der Downloaddatei /dev/full!\n"))
      << r.output;

  const fs::path folder = inst.root() / "small";
  TmpfsMount small(folder, "size=64k");
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here";
  const std::string old(20000, 'o');
  const fs::path target = folder / "out.dnl";
  for (const char* mode : {"1", "0"}) {
    WriteFile(target, old);
    r = inst.Run({"MGDNL17P", "T1", target.string(), mode});
    SCOPED_TRACE(std::string("mode ") + mode + "\n" + r.output);
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_TRUE(
        EndsWith(r.output, "Fehler beim Schreiben der Downloaddatei " + target.string() + "!\n"));
    EXPECT_EQ(ReadFile(target), old);
    EXPECT_EQ(Entries(folder), std::vector<std::string>{"out.dnl"});
  }
#endif
}

TEST(RealFaults, FolderThatCannotBeWrittenKeepsTheFile) {
#ifdef _WIN32
  GTEST_SKIP() << "mounts and file modes are POSIX";
#else
  Installation inst(ManyBadges(3));
  const fs::path folder = inst.root() / "locked";
  const std::string old = "old";
  TmpfsMount readOnly(folder, "size=64k");
  fs::path target = folder / "out.dnl";
  bool keepsOld = true;
  if (readOnly.mounted()) {
    WriteFile(target, old);
    ASSERT_TRUE(readOnly.RemountReadOnly());
  } else if (geteuid() != 0) {
    WriteFile(target, old);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  } else {
    // Root writes through permissions; the kernel refuses files here even to root.
    target = "/proc/self/out.dnl";
    keepsOld = false;
  }
  for (const char* mode : {"1", "0"}) {
    RunResult r = inst.Run({"IDSTAMM", "T1", target.string(), mode});
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.output,
              kConnected + "Downloadfile " + target.string() + " konnte nicht geoeffnet werden!\n");
    if (keepsOld) {
      EXPECT_EQ(ReadFile(target), old);
      EXPECT_EQ(Entries(folder), std::vector<std::string>{"out.dnl"});
    }
  }
  if (!readOnly.mounted() && geteuid() != 0) fs::permissions(folder, fs::perms::owner_all);
#endif
}

#ifndef _WIN32
// Starts zibrolt in the installation's working directory with its output going nowhere.
pid_t Start(const Installation& inst, const std::vector<std::string>& args) {
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir((inst.root() / "work" / "run").c_str()) != 0) _exit(127);
    std::FILE* null = std::freopen("/dev/null", "w", stdout);
    (void)null;
    std::vector<const char*> argv{ZIBROLT_BIN};
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    execv(ZIBROLT_BIN, const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  return pid;
}
#endif

TEST(RealFaults, KilledRunLeavesTheFileAndTheNextRunCleansUp) {
#ifdef _WIN32
  GTEST_SKIP() << "the run is a forked process, killed by a signal";
#else
  Installation inst;
  const fs::path bench = inst.root() / "db" / "bench.db";
  RunResult made = Shell(std::string("'") + ZIBROLT_BENCH_DB_BIN +
                             "' --badges 50000 --terminals 0 '" + bench.string() + "'",
                         inst.root());
  ASSERT_EQ(made.exitStatus, 0) << made.output;
  Login login;
  login.net = "sqlite:" + bench.string();
  inst.WriteSettings(login);

  const std::string old = "the file the terminal has now\r\n";
  inst.WriteOut(old);
  // Another run still writing (this process stands in for it) keeps its temporary file.
  const std::string busy = ".out.dnl.zibrolt-" + std::to_string(getpid()) + "-abcdef";
  WriteFile(inst.OutPath(busy), "in progress");

  const pid_t pid = Start(inst, {"MGDNL17P", "BENCH-ALL", inst.OutPath().string(), "1"});
  const std::string prefix = ".out.dnl.zibrolt-" + std::to_string(pid) + "-";
  std::string leftover;
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (leftover.empty() && Clock::now() < deadline) {
    for (const std::string& name : inst.OutFolderEntries()) {
      std::error_code ignored;
      if (name.rfind(prefix, 0) == 0 && fs::file_size(inst.OutPath(name), ignored) > 0)
        leftover = name;
    }
    if (leftover.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_FALSE(leftover.empty()) << "the run wrote no temporary file";
  ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it was killed";

  EXPECT_EQ(inst.ReadOut(), old);
  EXPECT_TRUE(fs::exists(inst.OutPath(leftover)));

  RunResult next = inst.Generate("MGDNL31P", "BENCH-ALL");
  EXPECT_EQ(next.exitStatus, 0) << next.output;
  std::vector<std::string> entries = inst.OutFolderEntries();
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{busy, "out.dnl"}));
  const std::string written = inst.ReadOut();
  EXPECT_GT(written.size(), 0u);
  EXPECT_EQ(written.size() % 48, 0u);
#endif
}

}  // namespace
}  // namespace zibrolt::test
