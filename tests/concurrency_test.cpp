// Sites start the runs for all their terminals from one scheduler, many at once, on one
// database: runs that overlap must write exactly the files and lines they write one after
// another.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

namespace fs = std::filesystem;

struct Job {
  const char* function;
  const char* terminal;
  std::string file;
};

// Starts zibrolt from the installation's working directory with standard output to outPath.
pid_t StartRun(const Installation& inst, const Job& job, const fs::path& outPath) {
  const std::string target = inst.OutPath(job.file).string();
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || dup2(fd, 1) < 0 || chdir((inst.root() / "work" / "run").c_str()) != 0) _exit(127);
    execl(ZIBROLT_BIN, ZIBROLT_BIN, job.function, job.terminal, target.c_str(), "1",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(Concurrency, EightRunsAtOnceWriteWhatTheyWriteOneAfterAnother) {
  Installation inst;
  const fs::path bench = inst.root() / "db" / "bench.db";
  RunResult made = Shell(std::string("'") + ZIBROLT_BENCH_DB_BIN +
                             "' --badges 5000 --terminals 4 '" + bench.string() + "'",
                         inst.root());
  ASSERT_EQ(made.exitStatus, 0) << made.output;
  Login login;
  login.net = "sqlite:" + bench.string();
  inst.WriteSettings(login);

  const std::vector<Job> jobs = {
      {"MGDNL17P", "BENCH-ALL", "a17"},  {"MGDNL18P", "BENCH-ALL", "a18"},
      {"MGDNL31P", "BENCH-MND", "m31"},  {"MGDNL60P", "BENCH-MND", "m60"},
      {"IDSTAMM", "BENCH-ALL", "aid"},   {"MGDNL17P", "BENCH-T002", "t17"},
      {"MGDNL18P", "BENCH-T001", "t18"}, {"IDSTAMM", "BENCH-T004", "tid"}};
  const fs::path logs = inst.root() / "logs";
  fs::create_directories(logs);

  std::vector<std::string> files, outputs;
  for (const Job& job : jobs) {
    ASSERT_EQ(Wait(StartRun(inst, job, logs / job.file)), 0) << job.function;
    files.push_back(inst.ReadOut(job.file));
    outputs.push_back(ReadFile(logs / job.file));
    EXPECT_FALSE(files.back().empty()) << job.function << " " << job.terminal;
    fs::remove(inst.OutPath(job.file));
  }

  std::vector<pid_t> running;
  for (const Job& job : jobs) running.push_back(StartRun(inst, job, logs / job.file));
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    SCOPED_TRACE(std::string(jobs[i].function) + " " + jobs[i].terminal);
    EXPECT_EQ(Wait(running[i]), 0);
    EXPECT_BYTES(files[i], inst.ReadOut(jobs[i].file));
    EXPECT_BYTES(outputs[i], ReadFile(logs / jobs[i].file));
  }
  EXPECT_EQ(inst.OutFolderEntries().size(), jobs.size()) << "temporary files left behind";
}

}  // namespace
}  // namespace zibrolt::test
