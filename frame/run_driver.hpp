// One run of the tool: command line, settings, connection, download file, terminal, generator.
// The steps are also taken one by one by the site tool, which writes many files in one run.
#pragma once
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "client/sqlhlp.hpp"
#include "data/terminal.hpp"
#include "frame/download_file.hpp"
#include "frame/settings.hpp"

namespace zibrolt {

struct DownloadFunction;

// Runs the tool with the process's arguments and returns the exit status (0 or -1).
// Messages go to out.
int RunDriver(int argc, const char* const* argv, std::FILE* out);

struct Login {
  std::string name, password, net, dbSystem, schema;
};

// Reads the five settings; false (with the message printed) when the run cannot go on.
bool ReadLogin(std::FILE* out, Login& login, const char* settingsPath = kSettingsPath);

// A driver error without an Oracle error number shows only as its status (-100001) in the
// lines around it; its SQLSTATE tells what happened (HYT00 a timeout, 22003 a numeric overflow).
void ReportDriverState(std::FILE* out, std::string_view state);

// Connects and prints "Mit Datenbank verbunden!"; nullptr after printing why it failed.
std::unique_ptr<sqlhlp::Connection> ConnectReporting(std::FILE* out, const Login& login);

// Asks once per connection how the server receives bound text and whether that compares with
// the key columns as the lookups need; false after printing why not (no file is touched).
bool BindsFitReporting(std::FILE* out, sqlhlp::Connection& db);

// Opens the change log (--changes); nullptr after printing why it could not be opened.
std::unique_ptr<ChangeLog> OpenChangeLogReporting(std::FILE* out, const std::string& path);

// Opens the download file; nullptr after printing why it could not be opened.
std::unique_ptr<DownloadFile> OpenDownloadReporting(std::FILE* out, const std::string& path,
                                                    bool create);

// The download function of this name (upper case); nullptr after printing that there is none.
const DownloadFunction* FindFunctionReporting(std::FILE* out, const std::string& function);

// What the terminal table says about a name, once read: the run goes on for an active or a
// withdrawn terminal and fails for a name no row has or a row that could not be read. The
// site tool reads each terminal once and reports it for every job that names it.
struct TerminalLookup {
  int status = 0;           // of the last statement; negative: the row could not be read
  bool exists = true;       // some row has the name, whatever its status
  bool withdrawn = false;   // its status is 4 or 8
  std::string driverState;  // the failure's SQLSTATE when status is negative
};

// Fills the terminal's context and says what the table holds for its name.
TerminalLookup LookupTerminal(sqlhlp::Connection& db, TerminalRecord& terminal);

// Prints what the lookup means for a run; false when the run cannot go on.
bool ReportTerminal(std::FILE* out, const TerminalLookup& lookup, const std::string& name);

// Fills the terminal's context; false after printing why its row could not be read.
bool LoadTerminalReporting(std::FILE* out, sqlhlp::Connection& db, TerminalRecord& terminal);

// The end of one file: the function's abort line when it failed with status (function may be
// null: no generator ran), else the file put in place. True when the file is in place.
bool FinishDownload(std::FILE* out, const sqlhlp::Connection& db, const DownloadFunction* function,
                    int status, DownloadFile& file, const std::string& path);

}  // namespace zibrolt
