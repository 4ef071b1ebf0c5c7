// zibrolt-bench-time: runs one command and writes "WALL CPU MAXRSS" (seconds, seconds, KiB)
// to a file, so that the benchmark needs no separate time package and the command's own
// standard output and exit status pass through untouched.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

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
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("zibrolt-bench-time: wait");
    return 2;
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (std::FILE* out = std::fopen(argv[1], "w")) {
    // ru_maxrss is in KiB on Linux.
    std::fprintf(out, "%.3f %.3f %ld\n", wall, cpu, usage.ru_maxrss);
    std::fclose(out);
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}
