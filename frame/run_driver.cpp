// The run driver: every failure before the generator ends the run at once with -1 and leaves
// the download file untouched; a generator failure is reported and the old file kept.
#include "frame/run_driver.hpp"

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "client/sqlhlp.hpp"
#include "data/bind_probe.hpp"
#include "data/terminal.hpp"
#include "frame/change_log.hpp"
#include "frame/download_file.hpp"
#include "frame/run_stats.hpp"
#include "frame/settings.hpp"
#include "frame/version.hpp"
#include "generators/registry.hpp"
#include "text/ascii_case.hpp"
#include "text/control.hpp"
#include "text/messages.hpp"

namespace zibrolt {
namespace {

// Field sizes of the command line, in characters (those of the settings are the settings
// file's).
constexpr std::size_t kFunctionMax = 19;
constexpr std::size_t kTerminalMax = 255;
constexpr std::size_t kPathMax = 199;

// The call lines. Asked for with --help they go to a person's screen, which may take UTF-8:
// there they are plain ASCII ("haengen"); after a wrong call they are the lines a scheduler's log
// has always held.
void PrintCall(std::FILE* out, bool ascii) {
  std::fprintf(out, "Aufruf: ZIBROLT [Param1] [Param2] [Param3] [Param4] /d \n");
  std::fprintf(out, "Param1: DNL-Funktion\n");
  std::fprintf(out, "Param2: Terminal-Name\n");
  std::fprintf(out, "Param3: Pfad der DNL-Datei\n");
  std::fprintf(out, "Param4: 1: neu 0: dran %s\n", ascii ? "haengen" : "h\xE4ngen");
  if (ascii)
    std::fprintf(out,
                 "Vor Param1: --changes DATEI  jede Aenderung der Downloaddatei an DATEI "
                 "anhaengen\n");
}

void PrintUsage(std::FILE* out, int given) {
  // No line end: the call line follows on the same line, as it always has.
  std::fprintf(out, "Anzahl Parameter(mind. 4) unterschritten! AnzParam: %d", given);
  PrintCall(out, false);
}

bool ParameterFits(std::FILE* out, const char* name, std::string_view value, std::size_t max) {
  if (value.size() <= max) return true;
  std::fprintf(out, "%s zu lang: %zu Zeichen, erlaubt sind hoechstens %zu!\n", name, value.size(),
               max);
  return false;
}

}  // namespace

bool ReadLogin(std::FILE* out, Login& login, const char* settingsPath) {
  struct Setting {
    const char* key;
    std::string* value;
    std::size_t max;
  };
  const Setting settings[] = {{"LOGIN", &login.name, kLoginMax},
                              {"PASS", &login.password, kPasswordMax},
                              {"NET8", &login.net, kNetMax},
                              {"DB_SYSTEM", &login.dbSystem, kDbSystemMax},
                              {"SCHEMA", &login.schema, kSchemaStoredMax}};
  SettingsEntry entry;
  for (const Setting& s : settings) {
    const SettingsRead read = ReadIniEntry("", s.key, 0, settingsPath, entry);
    if (read.status == SettingsStatus::kNotSettingsFile) {
      std::fprintf(out,
                   "Einstellungsdatei %s ist keine Einstellungsdatei (keine normale Datei oder "
                   "groesser als 1 MiB)!\n",
                   settingsPath);
      return false;
    }
    if (!read) {
      std::fprintf(out, "Einstellungsdatei %s konnte nicht geoeffnet werden!\n", settingsPath);
      return false;
    }
    if (entry.value.size() > s.max) {
      std::fprintf(out, "Einstellung %s zu lang: %zu Zeichen, erlaubt sind hoechstens %zu!\n",
                   s.key, entry.value.size(), s.max);
      return false;
    }
    *s.value = std::move(entry.value);
  }
  if (login.schema.empty()) {
    std::fprintf(out, "Einstellung SCHEMA fehlt!\n");
    return false;
  }
  // The stored schema carries one character more than the name.
  login.schema.pop_back();
  StrUpper(login.schema);
  return true;
}

void ReportDriverState(std::FILE* out, std::string_view state) {
  if (state.empty()) return;
  std::string shown(state);
  for (char& c : shown)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) c = '?';
  std::fprintf(out, "ODBC-Fehler ohne Oracle-Fehlernummer, SQLSTATE %s\n", shown.c_str());
}

std::unique_ptr<sqlhlp::Connection> ConnectReporting(std::FILE* out, const Login& login) {
  std::unique_ptr<sqlhlp::Connection> db;
  std::string driverState;
  const int status = sqlhlp::ConnectDatabase(login.name, login.password, login.net, login.schema,
                                             db, &driverState);
  if (status != sqlhlp::kOk) {
    ReportDriverState(out, driverState);
    // The password is never shown: these lines end up in the logs of the job scheduler. The
    // first part has no line end: the login values follow on the same line.
    std::fprintf(out, "DB-Connect-Error: %d!", status);
    // Values deciphered from a damaged file may hold any byte: shown as \xNN, the line stays
    // one line.
    std::fprintf(out, "Name:%s Pwd:%s Net:%s Schema:%s\n", Shown(login.name).c_str(), "********",
                 Shown(login.net).c_str(), Shown(login.schema).c_str());
    return nullptr;
  }
  std::fprintf(out, "Mit Datenbank verbunden! Schema: %s\n", login.schema.c_str());
  return db;
}

bool BindsFitReporting(std::FILE* out, sqlhlp::Connection& db) {
  const BindCheck check = ProbeBinds(db);
  if (check.ok) return true;
  // Every lookup would find nothing, or read whole tables: files that look right and are not.
  std::fprintf(out, "Gebundene Werte passen nicht zu den Schluesselspalten: %s!\n",
               check.problem.c_str());
  if (!check.found.empty()) std::fprintf(out, "Server erhielt: %s\n", check.found.c_str());
  std::fprintf(out, "Abhilfe: %s. Keine Downloaddatei geschrieben!\n", check.change.c_str());
  return false;
}

std::unique_ptr<DownloadFile> OpenDownloadReporting(std::FILE* out, const std::string& path,
                                                    bool create) {
  DownloadFile::OpenResult opened = DownloadFile::OpenResult::kCannotOpen;
  std::string reason;
  std::unique_ptr<DownloadFile> file =
      DownloadFile::Open(path, create, &opened, DownloadFile::kLockWaitSeconds, &reason);
  if (!file && opened == DownloadFile::OpenResult::kBusy) {
    std::fprintf(out,
                 "Downloaddatei %s wird von einem anderen Lauf geschrieben, Abbruch nach %d "
                 "Sekunden!\n",
                 path.c_str(), DownloadFile::kLockWaitSeconds);
  } else if (!file) {
    std::fprintf(out, "Downloadfile %s konnte nicht geoeffnet werden!\n", path.c_str());
    if (!reason.empty())
      std::fprintf(out, "Downloaddatei %s bleibt unveraendert: %s!\n", path.c_str(),
                   reason.c_str());
  }
  return file;
}

std::unique_ptr<ChangeLog> OpenChangeLogReporting(std::FILE* out, const std::string& path) {
  int error = 0;
  std::unique_ptr<ChangeLog> log = ChangeLog::Open(path, error);
  if (!log)
    std::fprintf(out, "Aenderungsprotokoll %s konnte nicht geoeffnet werden: %s!\n",
                 Shown(path).c_str(), std::strerror(error));
  return log;
}

const DownloadFunction* FindFunctionReporting(std::FILE* out, const std::string& function) {
  // A function no terminal knows (a typing error, or a scheduler that calls every function for
  // every terminal) writes nothing: the terminal's file stays as it is, and the run fails, so
  // that a file no longer renewed shows in the exit status.
  const DownloadFunction* f = FindDownloadFunction(function);
  if (!f)
    std::fprintf(out, "DNL-Funktion %s unbekannt, keine Datei geschrieben!\n",
                 Shown(function).c_str());
  return f;
}

TerminalLookup LookupTerminal(sqlhlp::Connection& db, TerminalRecord& terminal) {
  TerminalLookup lookup;
  lookup.status = LoadTerminalContext(db, terminal);
  lookup.withdrawn = lookup.status == sqlhlp::kNoRow;
  if (lookup.withdrawn) lookup.status = TerminalRowExists(db, terminal.name, lookup.exists);
  if (lookup.status < 0) lookup.driverState = db.DriverState(lookup.status);
  return lookup;
}

bool ReportTerminal(std::FILE* out, const TerminalLookup& lookup, const std::string& name) {
  // A terminal whose row cannot be read gets no file: it would be made for a terminal without
  // model, set and assignments. A withdrawn terminal (status 4 or 8) gets the file it has
  // always got, which lists the badges of its assignments only, usually none: a site locks a
  // terminal that way. A name no row has at all is a typing error, and its file stays as it is.
  if (lookup.status < 0) {
    ReportDriverState(out, lookup.driverState);
    std::fprintf(out, "Terminal %s konnte nicht gelesen werden! SQLCode:%d\n", Shown(name).c_str(),
                 lookup.status);
    return false;
  }
  if (!lookup.exists) {
    std::fprintf(out, "Terminal %s nicht gefunden, Downloaddatei bleibt unveraendert!\n",
                 Shown(name).c_str());
    return false;
  }
  if (lookup.withdrawn)
    std::fprintf(out, "Terminal %s ist gesperrt (Status 4 oder 8)!\n", Shown(name).c_str());
  return true;
}

bool LoadTerminalReporting(std::FILE* out, sqlhlp::Connection& db, TerminalRecord& terminal) {
  return ReportTerminal(out, LookupTerminal(db, terminal), terminal.name);
}

bool FinishDownload(std::FILE* out, const sqlhlp::Connection& db, const DownloadFunction* function,
                    int status, DownloadFile& file, const std::string& path) {
  if (function && status != sqlhlp::kOk) {
    ReportDriverState(out, db.DriverState(status));
    std::fprintf(out, "%s", function->abortMessage);
    return false;
  }
  // A run whose lines did not reach its log (a full disk, a closed pipe) cannot say what it did;
  // it fails before its file is put in place, so that failure still means "the file is as it
  // was".
  if (std::fflush(out) != 0 || std::ferror(out)) return false;
  if (!file.Commit()) {
    std::fprintf(out, "Fehler beim Schreiben der Downloaddatei %s!\n", path.c_str());
    if (!file.reason().empty())
      std::fprintf(out, "Downloaddatei %s bleibt unveraendert: %s!\n", path.c_str(),
                   file.reason().c_str());
    return false;
  }
  return true;
}

int RunDriver(int argc, const char* const* argv, std::FILE* out) {
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    PrintCall(out, true);
    return 0;
  }
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::fprintf(out, "%s\n", VersionLine("zibrolt").c_str());
    return 0;
  }
  // --changes FILE stands before the parameters a scheduler has always passed, so that those
  // keep their places and every call without it behaves as it always has.
  std::string changesPath;
  if (argc >= 3 && std::string_view(argv[1]) == "--changes") {
    changesPath = argv[2];
    argv += 2;
    argc -= 2;
    if (changesPath.empty()) {
      std::fprintf(out, "--changes ohne Dateinamen!\n");
      return -1;
    }
  }
  if (argc < 5) {
    PrintUsage(out, argc - 1);
    return -1;
  }
  std::string function = argv[1];
  TerminalRecord terminal;
  terminal.name = argv[2];
  const std::string path = argv[3];
  if (!ParameterFits(out, "Param1 (DNL-Funktion)", function, kFunctionMax) ||
      !ParameterFits(out, "Param2 (Terminal-Name)", terminal.name, kTerminalMax) ||
      !ParameterFits(out, "Param3 (Pfad der DNL-Datei)", path, kPathMax))
    return -1;
  const bool create = argv[4][0] == '1';
  const bool verbose = argc == 6 && std::string_view(argv[5]) == "/d";

  Login login;
  if (!ReadLogin(out, login)) return -1;

  std::unique_ptr<sqlhlp::Connection> db = ConnectReporting(out, login);
  if (!db) return -1;
  if (!BindsFitReporting(out, *db)) return -1;
  RunStatsReport stats(*db);
  StrUpper(function);

  const DownloadFunction* f = FindFunctionReporting(out, function);
  if (!f) return -1;

  std::unique_ptr<ChangeLog> changes;
  if (!changesPath.empty() && !(changes = OpenChangeLogReporting(out, changesPath))) return -1;
  std::unique_ptr<DownloadFile> file = OpenDownloadReporting(out, path, create);
  if (!file) return -1;
  if (changes) file->LogChangesTo(*changes, f->layout, terminal.name);
  if (!LoadTerminalReporting(out, *db, terminal)) return -1;

  const Messages messages(out, verbose);
  const int status = RunDownloadFunction(*f, *db, messages, terminal, *file);
  return FinishDownload(out, *db, f, status, *file, path) ? 0 : -1;
}

}  // namespace zibrolt
