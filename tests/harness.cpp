// Test installations: each in its own temporary folder, removed afterwards.
#include "tests/harness.hpp"

#include <sqlite3.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

#include "frame/cipher.hpp"
#include "platform/streams.hpp"
#include "tools/settings/encipher.hpp"

namespace zibrolt::test {
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  // Read in blocks: the tests are built without optimisation, where a character at a time
  // through a stream iterator made reading a run's bind log take most of a test's time.
  std::ifstream in(path, std::ios::binary);
  std::string content;
  char block[1 << 16];
  while (in.read(block, sizeof block) || in.gcount() > 0)
    content.append(block, static_cast<std::size_t>(in.gcount()));
  return content;
}

void WriteFile(const fs::path& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

namespace {

void Exec(const fs::path& db, std::string_view sql) {
  sqlite3* handle = nullptr;
  if (sqlite3_open(db.string().c_str(), &handle) != SQLITE_OK)
    throw std::runtime_error("open test db");
  char* error = nullptr;
  std::string text(sql);
  int rc = sqlite3_exec(handle, text.c_str(), nullptr, nullptr, &error);
  std::string message = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(handle);
  if (rc != SQLITE_OK) throw std::runtime_error("test SQL failed: " + message);
}

std::string Date(int days, const char* format) {
  std::time_t t = std::time(nullptr) + static_cast<std::time_t>(days) * 86400;
  std::tm local{};
  localtime_r(&t, &local);
  char text[16];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

}  // namespace

bool OdbcMode() {
  const char* net = std::getenv("ZIBROLT_TEST_NET");
  return net && *net;
}

bool OdbcAvailable() { return *ZIBROLT_SQLITE_ODBC_DRIVER != '\0'; }
bool ShimAvailable() { return *ZIBROLT_ODBC_SHIM != '\0'; }

std::string OdbcDataSource() {
  return OdbcMode() ? std::getenv("ZIBROLT_TEST_NET") : "ZIBROLT_TEST";
}

std::string SqlDate(int days) { return Date(days, "%Y-%m-%d"); }
std::string ListDate(int days) { return Date(days, "%Y%m%d"); }

#ifdef _WIN32
// Under Wine the host's /tmp is \tmp on the current drive, and the host's shell finds the
// folder under the same name.
fs::path NewTemporaryFolder(const std::string& prefix) {
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = prefix + std::to_string(random() % 1000000000);
    std::error_code error;
    if (fs::create_directory(folder, error)) return folder;
  }
  throw std::runtime_error("temporary folder");
}
#else
fs::path NewTemporaryFolder(const std::string& prefix) {
  std::string pattern = prefix + "XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
  return pattern;
}
#endif

Installation::Installation(std::string_view sql, const Login& login) {
  root_ = NewTemporaryFolder("/tmp/zibrolt-test-");
  fs::create_directories(root_ / "files");
  fs::create_directories(root_ / "db");
  fs::create_directories(root_ / "work" / "run");
  fs::create_directories(root_ / "out");
  Exec(database(), ReadFile(fs::path(ZIBROLT_SOURCE_DIR) / "db" / "schema.sql"));
  if (!sql.empty()) Exec(database(), sql);
  WriteSettings(login);
  if (OdbcAvailable()) {
    // NoCreat: a missing file is a failed connect, as on the embedded backend, not a new
    // database. Timeout: the embedded backend's wait for a writer.
    const std::string settings = "Database = " + database().string() +
                                 "\n"
                                 "LoadExt = " ZIBROLT_COMPAT_EXTENSION
                                 "\n"
                                 "NoCreat = 1\n"
                                 "Timeout = 10000\n";
    // unixODBC keeps the entries it read for 20 seconds by data source name, whichever file
    // ODBCINI names: a process connecting to a second installation within that time would
    // reach the first one's database. Connects in process therefore use a name of their own.
    static int installations = 0;
    inProcessSource_ = OdbcDataSource() + "_" + std::to_string(++installations);
    std::string ini;
    for (const std::string& name : {OdbcDataSource(), inProcessSource_})
      ini += "[" + name + "]\nDriver = " ZIBROLT_SQLITE_ODBC_DRIVER "\n" + settings;
    if (ShimAvailable())
      ini += std::string("[") + ShimDataSource() + "]\nDriver = " ZIBROLT_ODBC_SHIM "\n" + settings;
    WriteFile(OdbcIni(), ini);
  }
}

Installation::~Installation() {
  std::error_code ignored;
  fs::permissions(root_ / "out", fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root_, ignored);
}

void Installation::Sql(std::string_view sql) const { Exec(database(), sql); }

int Installation::Connect(std::unique_ptr<sqlhlp::Connection>& db) const {
  // In process the working directory is not the installation's, so the file is named whole.
  if (!OdbcMode())
    return sqlhlp::ConnectDatabase("demo", "geheim", "sqlite:" + database().string(), "KORVADAT",
                                   db);
  SetEnvironment("ODBCINI", OdbcIni().string());
  return sqlhlp::ConnectDatabase("demo", "geheim", inProcessSource_, "KORVADAT", db);
}

std::unique_ptr<sqlhlp::Connection> Installation::Connected() const {
  std::unique_ptr<sqlhlp::Connection> db;
  if (const int status = Connect(db); status != 0)
    throw std::runtime_error("no connection to the test installation: " + std::to_string(status));
  return db;
}

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

CapturedOutput::CapturedOutput() : out_(platform::OpenScratchStream()) {
  if (!out_) throw std::runtime_error("scratch file for captured output");
}

CapturedOutput::~CapturedOutput() { std::fclose(out_); }

std::string CapturedOutput::Text() const {
  std::fflush(out_);
  const long end = std::ftell(out_);
  std::rewind(out_);
  std::string text(static_cast<std::size_t>(end > 0 ? end : 0), '\0');
  text.resize(std::fread(text.data(), 1, text.size(), out_));
  std::fseek(out_, 0, SEEK_END);
  return text;
}

std::string Installation::Net() const { return OdbcMode() ? OdbcDataSource() : SqliteNet(); }

void Installation::WriteSettings(const Login& login) const {
  std::string text;
  int number = 1;
  auto record = [&](const char* key, const std::string& value) {
    text += std::string(";DB;") + key + "\r\n" + std::to_string(number++) + ";" + key + ";" +
            EncryptValue(value, kSettingsKey) + "\r\n";
  };
  record("LOGIN", login.login);
  record("PASS", login.password);
  record("NET8", login.net.empty() ? Net() : login.net);
  record("DB_SYSTEM", login.dbSystem);
  record("SCHEMA", login.schema + "#");
  WriteSettingsText(text);
}

void Installation::WriteSettingsText(std::string_view text) const {
  WriteFile(root_ / "files" / "quarvenda.ini", text);
}

#ifdef _WIN32
// Wine starts a host program but neither hands it a pipe nor waits for it: the command goes to a
// script beside dir, its output to a file, and its status to a file that appears when it ended.
// The programs themselves are started by tools/wine-run.sh, which alone knows a failed start by
// Wine from the program's own failure.
RunResult Shell(const std::string& command, const fs::path& dir) {
  static int counter = 0;
  const std::string stem = (dir.parent_path() / (".shell-" + std::to_string(GetCurrentProcessId()) +
                                                 "-" + std::to_string(++counter)))
                               .generic_string();
  WriteFile(stem + ".sh", "(cd '" + dir.generic_string() + "' || exit 127\n" + command + "\n) > '" +
                              stem + ".out'\necho $? > '" + stem + ".tmp'\nmv '" + stem +
                              ".tmp' '" + stem + ".status'\n");
  std::string line = "/bin/sh \"" + stem + ".sh\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    throw std::runtime_error("cannot start /bin/sh");
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (!fs::exists(stem + ".status")) {
    if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("shell timed out");
    Sleep(5);
  }
  const int code = std::atoi(ReadFile(stem + ".status").c_str());
  RunResult result{code, ReadFile(stem + ".out")};
  for (const char* suffix : {".sh", ".out", ".status"}) fs::remove(stem + suffix);
  return result;
}

#else
RunResult Shell(const std::string& command, const fs::path& dir) {
  int pipefd[2];
  if (pipe(pipefd) != 0) throw std::runtime_error("pipe");
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipefd[1], 1);
    close(pipefd[0]);
    close(pipefd[1]);
    if (chdir(dir.c_str()) != 0) _exit(127);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipefd[1]);
  std::string output;
  char buffer[65536];
  ssize_t n;
  while ((n = read(pipefd[0], buffer, sizeof buffer)) > 0) output.append(buffer, n);
  close(pipefd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return {code, output};
}
#endif

RunResult Installation::Run(const std::vector<std::string>& args) const {
  std::string command = "exec '" ZIBROLT_BIN "'";
  for (const std::string& a : args) {
    std::string quoted = "'";
    for (char c : a) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += " " + quoted + "'";
  }
  return RunCommand(command);
}

RunResult Installation::RunCommand(const std::string& command) const {
  std::string environment = "ODBCINI='" + OdbcIni().string() + "'; export ODBCINI; ";
  for (const std::string& assignment : environment_) environment += "export '" + assignment + "'; ";
  return Shell(environment + command, root_ / "work" / "run");
}

RunResult Installation::Generate(std::string_view function, std::string_view terminal,
                                 std::string_view file, std::string_view mode,
                                 const std::vector<std::string>& extra) const {
  std::vector<std::string> args{std::string(function), std::string(terminal),
                                OutPath(file).string(), std::string(mode)};
  args.insert(args.end(), extra.begin(), extra.end());
  return Run(args);
}

fs::path Installation::OutPath(std::string_view file) const { return root_ / "out" / file; }
std::string Installation::ReadOut(std::string_view file) const { return ReadFile(OutPath(file)); }
void Installation::WriteOut(std::string_view content, std::string_view file) const {
  WriteFile(OutPath(file), content);
}

std::vector<std::string> Installation::OutFolderEntries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(root_ / "out"))
    names.push_back(entry.path().filename().string());
  return names;
}

std::string FirstDifference(std::string_view expected, std::string_view actual) {
  std::size_t i = 0;
  while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
  auto around = [i](std::string_view s) {
    std::size_t from = i > 40 ? i - 40 : 0;
    std::string part(s.substr(from, 100));
    std::string shown;
    for (char c : part) {
      if (c == '\r')
        shown += "\\r";
      else if (c == '\n')
        shown += "\\n";
      else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
        shown += hex;
      } else
        shown += c;
    }
    return shown;
  };
  std::ostringstream out;
  out << "first difference at byte " << i << " (expected " << expected.size() << " bytes, got "
      << actual.size() << ")\n  expected: ..." << around(expected) << "\n  actual:   ..."
      << around(actual);
  return out.str();
}

}  // namespace zibrolt::test
