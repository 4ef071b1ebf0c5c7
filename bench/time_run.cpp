// zibrolt-bench-time: runs one command and writes "WALL CPU MAXRSS PRIVATE MAPPED" (seconds,
// seconds, KiB, KiB, KiB) to a file, so that the benchmark needs no separate time package and
// the command's own standard output and exit status pass through untouched. MAXRSS counts every
// resident page, the pages of a memory-mapped database included; PRIVATE is the most memory the
// process itself held (RssAnon), MAPPED the most file pages it had mapped (RssFile: the
// database's and the program's own), both sampled from /proc while it runs ("-" where there is
// no /proc).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

// The largest RssAnon and RssFile seen so far, in KiB; -1 until one was read.
struct Resident {
  long privateKib = -1;
  long mappedKib = -1;
};

void Sample(pid_t child, Resident& most) {
  const std::string path = "/proc/" + std::to_string(child) + "/status";
  std::FILE* status = std::fopen(path.c_str(), "r");
  if (!status) return;
  char line[256];
  long kib = 0;
  while (std::fgets(line, sizeof line, status)) {
    if (std::sscanf(line, "RssAnon: %ld", &kib) == 1)
      most.privateKib = std::max(most.privateKib, kib);
    else if (std::sscanf(line, "RssFile: %ld", &kib) == 1)
      most.mappedKib = std::max(most.mappedKib, kib);
  }
  std::fclose(status);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "Usage: zibrolt-bench-time RESULT-FILE COMMAND [ARG...]\n");
    return 2;
  }
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("zibrolt-bench-time: fork");
    return 2;
  }
  if (child == 0) {
    execvp(argv[2], argv + 2);
    std::perror("zibrolt-bench-time: exec");
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  Resident most;
  // A run streams: what it holds rises at the start and then stays, so a sample every
  // millisecond sees its peak; the samples cost this process, not the one measured.
  for (;;) {
    const pid_t done = wait4(child, &status, WNOHANG, &usage);
    if (done < 0) {
      std::perror("zibrolt-bench-time: wait");
      return 2;
    }
    if (done == child) break;
    Sample(child, most);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (std::FILE* out = std::fopen(argv[1], "w")) {
    // ru_maxrss is in KiB on Linux.
    std::fprintf(out, "%.3f %.3f %ld", wall, cpu, usage.ru_maxrss);
    if (most.privateKib >= 0 && most.mappedKib >= 0)
      std::fprintf(out, " %ld %ld\n", most.privateKib, most.mappedKib);
    else
      std::fprintf(out, " - -\n");
    std::fclose(out);
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}
