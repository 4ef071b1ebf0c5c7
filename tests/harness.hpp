// A throw-away installation for black-box runs of zibrolt: a database built from the schema
// and the test's rows, the enciphered settings file where the tool looks for it, and a working
// directory to run in.
#pragma once
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "client/sqlhlp.hpp"

namespace zibrolt::test {

// Built with AddressSanitizer, where a whole run through ODBC costs ten times its plain time.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderSanitizers = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kUnderSanitizers = true;
#else
inline constexpr bool kUnderSanitizers = false;
#endif
#else
inline constexpr bool kUnderSanitizers = false;
#endif

// The line every run prints once it is connected to a test installation.
inline const std::string kConnected = "Mit Datenbank verbunden! Schema: KORVADAT\n";

struct RunResult {
  int exitStatus;      // as the shell sees it: -1 is 255
  std::string output;  // standard output, byte for byte
};

struct Login {
  std::string login = "demo";
  std::string password = "geheim";
  std::string net;  // empty: the installation's own database
  std::string dbSystem = "SQLITE";
  std::string schema = "korvadat";
};

class Installation {
 public:
  // Builds the database from the schema and sql (the test's rows) and writes the settings.
  explicit Installation(std::string_view sql = {}, const Login& login = Login{});
  ~Installation();
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  void Sql(std::string_view sql) const;  // runs more SQL on the database
  void WriteSettings(const Login& login) const;
  void WriteSettingsText(std::string_view text) const;  // the settings file as given

  // Runs zibrolt with these parameters in the working directory.
  RunResult Run(const std::vector<std::string>& args) const;
  // Runs a shell command line in the working directory, with the installation's environment
  // (ODBCINI naming its own data source file, then the run environment below).
  RunResult RunCommand(const std::string& command) const;
  // Variables ("NAME=VALUE") set for every later run, such as the misbehaviour of the
  // ShimDataSource(); replaces those set before.
  void SetRunEnvironment(std::vector<std::string> assignments) { environment_ = assignments; }
  // Runs FUNCTION TERMINAL <out>/NAME MODE [extra...] and returns the result.
  RunResult Generate(std::string_view function, std::string_view terminal,
                     std::string_view file = "out.dnl", std::string_view mode = "1",
                     const std::vector<std::string>& extra = {}) const;

  std::filesystem::path OutPath(std::string_view file = "out.dnl") const;
  std::string ReadOut(std::string_view file = "out.dnl") const;
  void WriteOut(std::string_view content, std::string_view file = "out.dnl") const;
  std::vector<std::string> OutFolderEntries() const;  // names in the output folder

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path database() const { return root_ / "db" / "test.db"; }
  // NET8 value that reaches this installation's database: its ODBC data source when the
  // tests run through ODBC, else the database file itself.
  std::string Net() const;
  std::string SqliteNet() const { return "sqlite:../../db/test.db"; }
  // The odbc.ini that defines the data source OdbcDataSource() for this database, and one of
  // this installation's own for Connect; written whenever the SQLite ODBC driver is at hand.
  std::filesystem::path OdbcIni() const { return root_ / "odbc.ini"; }
  // Connects this process to the installation's database, through ODBC in the ODBC pass.
  int Connect(std::unique_ptr<sqlhlp::Connection>& db) const;
  // The same, for tests that need the connection: a failed connect throws, which fails the test
  // that asked instead of leaving it a null connection.
  std::unique_ptr<sqlhlp::Connection> Connected() const;

 private:
  std::filesystem::path root_;
  std::vector<std::string> environment_;
  std::string inProcessSource_;  // the data source Connect uses through ODBC
};

// True when the tests run through ODBC (ZIBROLT_TEST_NET names the data source).
bool OdbcMode();
// True when the SQLite ODBC driver and the compatibility extension are at hand.
bool OdbcAvailable();
// The data source name each installation's odbc.ini defines.
std::string OdbcDataSource();
// True when the test driver that makes the SQLite ODBC driver misbehave as Oracle's can is
// built; each installation's odbc.ini then also defines ShimDataSource() for its database.
bool ShimAvailable();
inline constexpr const char* ShimDataSource() { return "ZIBROLT_SHIM"; }

// A new empty folder named prefix and a unique suffix ("/tmp/zibrolt-test-").
std::filesystem::path NewTemporaryFolder(const std::string& prefix);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, std::string_view content);

// Today's date shifted by days, as SQL text 'YYYY-MM-DD' and as the badge list shows it.
std::string SqlDate(int days);
std::string ListDate(int days);

// Runs a command line through /bin/sh in dir and captures standard output.
RunResult Shell(const std::string& command, const std::filesystem::path& dir);

// A stream a test hands to code that prints, read back afterwards: a scratch file, since memory
// streams are POSIX only. The bytes are kept as written ("\n" stays "\n" on Windows too).
class CapturedOutput {
 public:
  CapturedOutput();
  ~CapturedOutput();
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

  std::FILE* get() const { return out_; }
  std::string Text() const;  // everything written so far

 private:
  std::FILE* out_ = nullptr;
};

// Sets a variable in this process's environment, as the programs it starts or loads will see it.
void SetEnvironment(const char* name, const std::string& value);

// Describes where two byte strings first differ, for readable assertion failures.
std::string FirstDifference(std::string_view expected, std::string_view actual);

}  // namespace zibrolt::test

// Compares bytes and prints the first differing offset and both sides around it.
#define EXPECT_BYTES(expected, actual) \
  EXPECT_TRUE((expected) == (actual)) << ::zibrolt::test::FirstDifference((expected), (actual))
