// The download file's target in the shapes a site gives it: links, other owners, read-only files,
// sticky folders, pipes, two runs for one file at once, and a run stopped by a signal. Every case
// runs in a child process set up as a run is (interrupt handlers installed), as an unprivileged
// user where that is the point.
#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "frame/download_file.hpp"
#include "frame/interrupt_guard.hpp"
#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

// flock(2) as a file system can answer it, for the next call in this process (and the writers
// it forks): the lock file removed by its holder just before the lock is taken, or an error.
struct LockQuirk {
  std::string removeFirst;  // path to remove before the call
  int error = 0;            // errno the call fails with; 0: the system's answer
};
LockQuirk lockQuirk;

}  // namespace
}  // namespace zibrolt::test

// The program takes its locks through the C library; this definition in the test executable is
// found first and hands every call on, except where a quirk is armed.
extern "C" int flock(int fd, int operation) noexcept {
  static const auto real = reinterpret_cast<int (*)(int, int)>(dlsym(RTLD_NEXT, "flock"));
  auto& quirk = zibrolt::test::lockQuirk;
  if (!quirk.removeFirst.empty()) unlink(std::exchange(quirk.removeFirst, {}).c_str());
  if (const int error = std::exchange(quirk.error, 0)) {
    errno = error;
    return -1;
  }
  return real(fd, operation);
}

namespace zibrolt::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

constexpr uid_t kNobody = 65534;
bool Root() { return geteuid() == 0; }

// A folder every user may write into, removed with all it holds.
struct Folder {
  fs::path dir;
  int reader = -1;  // read end of a pipe target
  Folder() {
    char pattern[] = "/tmp/zibrolt-target-XXXXXX";
    dir = mkdtemp(pattern);
    fs::permissions(dir, fs::perms::all);
  }
  ~Folder() {
    if (reader >= 0) close(reader);
    fs::remove_all(dir);
  }
  // A file with content and mode, given to nobody when the test runs as root.
  std::string Make(const fs::path& name, std::string_view content, mode_t mode, bool nobody) {
    const fs::path path = dir / name;
    fs::create_directories(path.parent_path());
    WriteFile(path, content);
    chmod(path.c_str(), mode);
    EXPECT_TRUE(!nobody || !Root() || chown(path.c_str(), kNobody, kNobody) == 0);
    return path;
  }
  std::string Fifo(bool withReader) {
    EXPECT_EQ(mkfifo((dir / "fifo").c_str(), 0666), 0);
    if (withReader) reader = open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
    return dir / "fifo";
  }
  Names Entries(const fs::path& sub) const {
    Names names;
    for (const auto& e : fs::directory_iterator(dir / sub)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
};

enum Outcome { kWritten = 0, kCannotOpen = 1, kBusy = 2, kWriteError = 3, kRefused = 4 };

struct Writer {
  std::string path;
  bool create = true;
  std::string data = "new";
  bool asNobody = false;
  // The pipe's only reader is the writer's own, closed right after the open: its write then
  // finds no reader, whatever the test process does meanwhile.
  bool quitReader = false;
  int out = -1;         // standard output
  int holdMs = 0;  // after writing, "+" on standard output, then this long (-1: until a signal)
  int waitSeconds = DownloadFile::kLockWaitSeconds;
};

// Opens, writes and commits in a child process whose exit status is the Outcome.
pid_t Start(const Writer& w) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  if (w.out >= 0) dup2(w.out, 1);
  InstallInterruptHandlers(stdout);
  if (w.asNobody && Root() &&
      (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
    _exit(99);
  const int reader = w.quitReader ? open(w.path.c_str(), O_RDONLY | O_NONBLOCK) : -1;
  DownloadFile::OpenResult why;
  std::unique_ptr<DownloadFile> file = DownloadFile::Open(w.path, w.create, &why, w.waitSeconds);
  if (reader >= 0) close(reader);
  if (!file)
    _exit(why == DownloadFile::OpenResult::kBusy      ? kBusy
          : why == DownloadFile::OpenResult::kRefused ? kRefused
                                                      : kCannotOpen);
  file->Write(w.data);
  if (w.holdMs != 0 && write(1, "+", 1) != 1) _exit(98);
  if (w.holdMs < 0) pause();
  usleep(static_cast<useconds_t>(w.holdMs) * 1000);
  const bool committed = file->Commit();
  file.reset();
  _exit(committed ? kWritten : kWriteError);
}

// Starts a writer that holds the file open; out receives the rest of its standard output.
pid_t StartHolding(Writer w, int& out) {
  int ends[2];
  EXPECT_EQ(pipe(ends), 0);
  w.out = ends[1];
  const pid_t pid = Start(w);
  close(ends[1]);
  char c = 0;
  EXPECT_EQ(read(ends[0], &c, 1), 1);
  out = ends[0];
  return pid;
}

int Finish(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

enum Shape {
  kOwned,
  kLink,
  kDangling,
  kReadOnly,
  kSticky,
  kEmpty,
  kFifo,
  kFifoRead,
  kFifoQuit,
  kAttributes,  // an extended attribute and an ACL that grants nobody reading
  kHardLinked,  // a second name for the file
  kStdout,      // /dev/stdout, redirected to a file that holds a line already
  kBound,       // a file bind-mounted over the target (as root, where mounts are allowed)
};

// "user::rw- user:nobody:r-- group::r-- mask::r-- other::---" as the kernel stores it.
std::string NobodyMayRead() {
  std::string acl;
  auto put = [&acl](unsigned value, int bytes) {
    for (int i = 0; i < bytes; ++i) acl.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  put(2, 4);  // version
  const unsigned entries[][3] = {
      {0x01, 6, ~0u}, {0x02, 4, kNobody}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}};
  for (const auto& e : entries) put(e[0], 2), put(e[1], 2), put(e[2], 4);
  return acl;
}

std::string Attribute(const std::string& path, const char* name) {
  char value[256];
  const ssize_t n = getxattr(path.c_str(), name, value, sizeof value);
  return n < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(n));
}

// Makes the target of the shape and returns the path to open.
std::string Prepare(Folder& f, Shape shape) {
  switch (shape) {
    case kOwned:
      return f.Make("out.dnl", "old", 0660, true);
    case kLink:  // relative to the link's own folder
      f.Make("real/out.dnl", "old", 0640, false);
      fs::create_directory(f.dir / "links");
      fs::create_symlink("../real/out.dnl", f.dir / "links" / "link");
      return f.dir / "links" / "link";
    case kDangling:
      fs::create_symlink("made.dnl", f.dir / "link");
      return f.dir / "link";
    case kReadOnly:
      return f.Make("out.dnl", "old", 0444, true);
    case kSticky: {  // another user's file: checkable as root only, else the folder is read-only
      std::string path = f.Make("sticky/out.dnl", "old", 0666, false);
      chmod((f.dir / "sticky").c_str(), Root() ? 01777 : 0555);
      return path;
    }
    case kEmpty:
      return "";
    case kAttributes: {
      std::string path = f.Make("out.dnl", "old", 0640, false);
      const std::string acl = NobodyMayRead();
      EXPECT_EQ(setxattr(path.c_str(), "user.zibrolt", "kept", 4, 0), 0);
      EXPECT_EQ(setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
      return path;
    }
    case kHardLinked: {
      std::string path = f.Make("out.dnl", "old", 0644, false);
      fs::create_hard_link(path, f.dir / "other.dnl");
      return path;
    }
    case kStdout:
      f.Make("log", "before\n", 0644, false);
      return "/dev/stdout";
    case kBound: {
      std::string path = f.Make("out.dnl", "old", 0644, false);
      f.Make("bound.dnl", "bound", 0644, false);
      if (!Root() ||
          mount((f.dir / "bound.dnl").c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return {};
      return path;
    }
    default:
      return f.Fifo(shape != kFifo);
  }
}

struct TargetCase {
  Shape shape;
  bool asNobody;
  Outcome expected;
  const char* file;     // then holds content (unless nullptr)
  const char* content;  //
  Names entries;        // and its folder nothing else: no temporary or lock file
};

TEST(DownloadTarget, EachShapeOfTargetIsWrittenOrRefusedAsOpeningItWould) {
  const TargetCase cases[] = {
      {kOwned, false, kWritten, "out.dnl", "new", {"out.dnl"}},
      {kLink, false, kWritten, "real/out.dnl", "new", {"out.dnl"}},
      {kDangling, false, kWritten, "made.dnl", "new", {"link", "made.dnl"}},
      {kReadOnly, true, kCannotOpen, "out.dnl", "old", {"out.dnl"}},
      {kSticky, true, kCannotOpen, "sticky/out.dnl", "old", {"out.dnl"}},
      {kEmpty, false, kCannotOpen, nullptr, "", {}},
      {kFifo, false, kCannotOpen, nullptr, "", {"fifo"}},  // at once, no reader to wait for
      {kFifoRead, false, kWritten, nullptr, "", {"fifo"}},
      {kFifoQuit, false, kWriteError, nullptr, "", {"fifo"}},  // not a run killed by SIGPIPE
      {kAttributes, false, kWritten, "out.dnl", "new", {"out.dnl"}},
      // Replaced, the other name would keep the old content for good.
      {kHardLinked, false, kRefused, "out.dnl", "old", {"other.dnl", "out.dnl"}},
      // The stream where it stands: the line before stays, the file is not replaced.
      {kStdout, false, kWritten, "log", "before\nnew", {"log"}},
      {kBound, false, kWriteError, "out.dnl", "old", {"bound.dnl", "out.dnl"}},
  };
  for (const TargetCase& c : cases) {
    SCOPED_TRACE(c.shape);
    Folder f;
    Writer w{Prepare(f, c.shape)};
    w.asNobody = c.asNobody;
    if (c.shape == kBound && w.path.empty()) continue;  // no mounts here
    if (c.shape == kStdout) {
      w.out = open((f.dir / "log").c_str(), O_WRONLY);
      lseek(w.out, 0, SEEK_END);
    }
    if (c.shape == kFifoQuit) {  // the test's reader closed before the writer starts
      w.quitReader = true;
      close(std::exchange(f.reader, -1));
    }
    const pid_t pid = Start(w);
    EXPECT_EQ(Finish(pid), c.expected);
    if (c.shape == kStdout) close(w.out);
    if (c.shape == kBound) umount2(w.path.c_str(), MNT_DETACH);
    if (c.shape == kAttributes) {  // a reader granted by them can still read the new file
      EXPECT_EQ(Attribute(f.dir / c.file, "user.zibrolt"), "kept");
      EXPECT_EQ(Attribute(f.dir / c.file, "system.posix_acl_access"), NobodyMayRead());
    }
    EXPECT_EQ(c.file ? ReadFile(f.dir / c.file) : "", c.content);
    EXPECT_EQ(f.Entries(fs::path(c.file ? c.file : "").parent_path() / "."), c.entries);
    struct stat st {};  // owner and group kept where the run may set them: as root
    if (c.shape == kOwned && Root() && stat((f.dir / c.file).c_str(), &st) == 0) {
      EXPECT_EQ(st.st_uid, kNobody);
      EXPECT_EQ(st.st_gid, kNobody);
    }
    char got[8];
    if (c.shape == kFifoRead) {
      EXPECT_EQ(std::string(got, std::max<ssize_t>(0, read(f.reader, got, sizeof got))), "new");
    }
  }
}

TEST(DownloadTarget, RunsForOneFileTakeTurnsAndBothAppendsLand) {
  Folder f;
  const std::string path = f.Make("out.dnl", "old\n", 0644, false);
  Writer first{path, false, "first\n"}, impatient{path, false}, second{path, false, "second\n"};
  first.holdMs = 400;
  impatient.waitSeconds = 0;
  int out;
  const pid_t a = StartHolding(first, out);
  EXPECT_EQ(Finish(Start(impatient)), kBusy);
  const pid_t b = Start(second);
  EXPECT_EQ(Finish(a), kWritten);
  EXPECT_EQ(Finish(b), kWritten);
  close(out);
  EXPECT_EQ(ReadFile(path), "old\nfirst\nsecond\n");
  EXPECT_EQ(f.Entries("."), Names{"out.dnl"}) << "no lock file left behind";
}

// The lock's other outcomes. Removed by its holder between open and lock: taken again on the new
// lock file. A file system without locks (some network mounts): written unserialised, rather
// than not at all. A lock file that cannot be made or locked: the run fails, the file stays.
TEST(DownloadTarget, LockRemovedMissingOrFailingEndsAsItMust) {
  const struct {
    const char* name;
    bool lockIsFolder;  // the lock file's name taken by a folder
    bool removed;       // the lock file removed just before the lock
    int error;          // the lock's errno
    Outcome expected;
    Names entries;  // left in the folder
  } kCases[] = {
      {"removed", false, true, 0, kWritten, {"out.dnl"}},
      {"EOPNOTSUPP", false, false, EOPNOTSUPP, kWritten, {"out.dnl"}},
      {"ENOLCK", false, false, ENOLCK, kWritten, {"out.dnl"}},
      {"folder", true, false, 0, kCannotOpen, {".out.dnl.zibrolt-lock", "out.dnl"}},
      // Left: another run may hold it, and removing it would let a third one in.
      {"EIO", false, false, EIO, kCannotOpen, {".out.dnl.zibrolt-lock", "out.dnl"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Folder f;
    Writer w{f.Make("out.dnl", "old", 0644, false), false};
    const fs::path lock = f.dir / ".out.dnl.zibrolt-lock";
    if (c.lockIsFolder) fs::create_directory(lock);
    lockQuirk = {c.removed ? lock.string() : "", c.error};
    EXPECT_EQ(Finish(Start(w)), c.expected);
    EXPECT_EQ(ReadFile(w.path), c.expected == kWritten ? "oldnew" : "old");
    EXPECT_EQ(f.Entries("."), c.entries);
  }
  lockQuirk = {};
}

TEST(DownloadTarget, InterruptRemovesTheTemporaryFileAndSaysSo) {
  // The last case: a hangup the caller ignores (nohup) stays ignored.
  for (auto [ignored, signal] :
       {std::pair{0, SIGTERM}, {0, SIGINT}, {0, SIGHUP}, {SIGHUP, SIGTERM}}) {
    SCOPED_TRACE(signal);
    Folder f;
    Writer w{f.Make("out\t.dnl", "old", 0644, false), false};
    w.holdMs = -1;
    int out;
    const auto before = ignored ? std::signal(ignored, SIG_IGN) : SIG_DFL;
    const pid_t pid = StartHolding(w, out);
    if (ignored) std::signal(ignored, before);
    EXPECT_EQ(f.Entries(".").size(), 3u) << "the file, its temporary file and its lock";
    if (ignored) kill(pid, ignored);
    kill(pid, signal);
    EXPECT_EQ(Finish(pid), 255);
    std::string line(300, '\0');
    line.resize(static_cast<std::size_t>(std::max<ssize_t>(0, read(out, line.data(), 300))));
    close(out);
    EXPECT_EQ(line, "Programmabbruch: Signal " + std::to_string(signal) +
                        " empfangen, Downloaddatei " + (f.dir / "out\\x09.dnl").string() +
                        " bleibt unveraendert!\n");
    EXPECT_EQ(ReadFile(w.path), "old");
    EXPECT_EQ(f.Entries("."), Names{"out\t.dnl"});
  }
}

// The run's own words for a target it will not replace, so that a site knows what to change.
TEST(DownloadTarget, RefusedTargetSaysWhyAndStaysAsItWas) {
  Installation inst("INSERT INTO Kvd1140Trm VALUES ('T1', '7744-010', NULL, 1, 1, 1, 1);");
  inst.WriteOut("old");
  fs::create_hard_link(inst.OutPath(), inst.OutPath("other.dnl"));
  const RunResult r = inst.Generate("MGDNL17P", "T1");
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_NE(r.output.find(" bleibt unveraendert: sie hat 2 Namen (harte Links), die anderen "
                          "behielten den alten Inhalt!\n"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(inst.ReadOut(), "old");
}

}  // namespace
}  // namespace zibrolt::test
