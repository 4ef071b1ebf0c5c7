// The run driver: every failure before the generator ends the run at once with -1 and leaves
// the download file untouched; a generator failure is reported and the old file kept.
#include "frame/run_driver.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "data/terminal.hpp"
#include "frame/download_file.hpp"
#include "frame/odbc_client.hpp"
#include "frame/run_context.hpp"
#include "frame/run_stats.hpp"
#include "frame/settings.hpp"
#include "frame/sqlhlp.hpp"
#include "generators/generators.hpp"

namespace zibrolt {
namespace {

// Field sizes of the command line and the settings, in characters.
constexpr std::size_t kFunctionMax = 19;
constexpr std::size_t kTerminalMax = 255;
constexpr std::size_t kPathMax = 199;
constexpr std::size_t kLoginMax = 50;
constexpr std::size_t kPasswordMax = 50;
constexpr std::size_t kNetMax = 50;
constexpr std::size_t kDbSystemMax = 40;
constexpr std::size_t kSchemaMax = 20;

using Generator = int (*)(RunContext&, std::string_view, const TerminalRecord&);

struct DownloadFunction {
  std::string_view name;  // Param1, upper-cased
  Generator work;
  const char* abortMessage;  // printed when the generator fails
};

constexpr DownloadFunction kFunctions[] = {
    {"MGDNL17P", WorkMgDnl17P, "Programmabbruch: Fehler bei Erstellung der Datei MGDNL17P!\n"},
    {"MGDNL18P", WorkMgDnl18P, "Programmabbruch: Fehler bei Erstellung der Datei MGDNL18P!\n"},
    {"MGDNL31P", WorkMgDnl31P, "Programmabbruch: Fehler bei Erstellung der Datei MGDNL31P!\n"},
    {"MGDNL60P", WorkMgDnl60P, "Programmabbruch: Fehler bei Erstellung der Datei MGDNL60P!\n"},
    {"IDSTAMM", WorkIdStamm, "Programmabbruch: Fehler bei Erstellung der Datei IDSTAMM!\n"},
};

void PrintUsage(std::FILE* out, int given) {
  std::fprintf(out, "Anzahl Parameter(mind. 4) unterschritten! AnzParam: %d", given);
  std::fprintf(out, "Aufruf: ZIBROLT [Param1] [Param2] [Param3] [Param4] /d \n");
  std::fprintf(out, "Param1: DNL-Funktion\n");
  std::fprintf(out, "Param2: Terminal-Name\n");
  std::fprintf(out, "Param3: Pfad der DNL-Datei\n");
  std::fprintf(out, "Param4: 1: neu 0: dran h\xE4ngen\n");
}

bool ParameterFits(std::FILE* out, const char* name, std::string_view value, std::size_t max) {
  if (value.size() <= max) return true;
  std::fprintf(out, "%s zu lang: %zu Zeichen, erlaubt sind hoechstens %zu!\n", name, value.size(),
               max);
  return false;
}

struct Login {
  std::string name, password, net, dbSystem, schema;
};

// Reads the five settings; false (with the message printed) when the run cannot go on.
bool ReadLogin(std::FILE* out, Login& login) {
  struct Setting {
    const char* key;
    std::string* value;
    std::size_t max;
  };
  const Setting settings[] = {{"LOGIN", &login.name, kLoginMax},
                              {"PASS", &login.password, kPasswordMax},
                              {"NET8", &login.net, kNetMax},
                              {"DB_SYSTEM", &login.dbSystem, kDbSystemMax},
                              {"SCHEMA", &login.schema, kSchemaMax + 1}};
  SettingsEntry entry;
  for (const Setting& s : settings) {
    if (!ReadIniEntry("", s.key, 0, kSettingsPath, entry)) {
      std::fprintf(out, "Einstellungsdatei %s konnte nicht geoeffnet werden!\n", kSettingsPath);
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

// A driver error without an Oracle number shows only as sqlhlp::kDriverError in the lines
// above it; its SQLSTATE tells what happened (HYT00 a timeout, 22003 a numeric overflow).
void ReportDriverError(std::FILE* out) {
  const std::optional<std::string> state = sqlhlp::LastDriverError();
  if (!state) return;
  std::string shown = state->empty() ? "unbekannt" : *state;
  for (char& c : shown)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) c = '?';
  std::fprintf(out, "ODBC-Fehler ohne Oracle-Fehlernummer, SQLSTATE %s\n", shown.c_str());
}

}  // namespace

void StrUpper(std::string& text) {
  for (auto it = text.rbegin(); it != text.rend(); ++it)
    if (*it >= 'a' && *it <= 'z') *it = static_cast<char>(*it - 'a' + 'A');
}

int RunDriver(int argc, const char* const* argv, std::FILE* out) {
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

  std::unique_ptr<sqlhlp::Connection> db;
  int status = sqlhlp::ConnectDatabase(login.name, login.password, login.net, login.schema, db);
  if (status != sqlhlp::kOk) {
    ReportDriverError(out);
    // The password is never shown: these lines end up in the logs of the job scheduler.
    std::fprintf(out, "DB-Connect-Error: %d!", status);
    std::fprintf(out, "Name:%s Pwd:%s Net:%s Schema:%s\n", login.name.c_str(), "********",
                 login.net.c_str(), login.schema.c_str());
    return -1;
  }
  RunStatsReport stats(*db);
  StrUpper(function);
  std::fprintf(out, "Mit Datenbank verbunden! Schema: %s\n", login.schema.c_str());

  std::unique_ptr<DownloadFile> file = DownloadFile::Open(path, create);
  if (!file) {
    std::fprintf(out, "Downloadfile %s konnte nicht geoeffnet werden!\n", path.c_str());
    return -1;
  }
  // A terminal that is not there (1403) still gets its file; one whose row cannot be read does
  // not: the file would be made for a terminal without model, set and assignments.
  status = LoadTerminalContext(*db, terminal);
  if (status < 0) {
    ReportDriverError(out);
    std::fprintf(out, "Terminal %s konnte nicht gelesen werden! SQLCode:%d\n",
                 terminal.name.c_str(), status);
    return -1;
  }

  RunContext run{*db, *file, out, verbose};
  int result = 0;
  for (const DownloadFunction& f : kFunctions) {
    if (function != f.name) continue;
    if (f.work(run, path, terminal) == 0) {
      ReportDriverError(out);
      std::fprintf(out, "%s", f.abortMessage);
      result = -1;
    }
    break;
  }
  if (result == 0 && !file->Commit()) {
    std::fprintf(out, "Fehler beim Schreiben der Downloaddatei %s!\n", path.c_str());
    result = -1;
  }
  return result;
}

}  // namespace zibrolt
