// zibrolt-check: the preflight a site runs before the first nightly run and after every
// change of database, grants, client or settings. It reads the settings and connects as zibrolt
// does, then reports OK, WARN or FAIL per point; it writes nothing but temporary files.
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "data/statements.hpp"
#include "frame/settings.hpp"
#include "frame/version.hpp"
#include "generators/registry.hpp"
#include "platform/files.hpp"
#include "tools/check/login.hpp"
#include "tools/check/session.hpp"
#include "tools/check/structure.hpp"
#include "tools/check/terminal.hpp"
#include "zibrolt_version.hpp"

namespace {

constexpr int kUsageError = 2;

void Usage(std::FILE* to) {
  std::fprintf(
      to,
      "Aufruf: zibrolt-check [--settings DATEI] [--terminal NAME [--function DNL-FUNKTION\n"
      "                      [--current DATEI]]]\n"
      "       zibrolt-check --statements\n"
      "Prueft vor dem ersten Lauf, ob zibrolt mit dieser Installation arbeiten kann:\n"
      "Einstellungen und Verbindung wie zibrolt, Server, Treiber und Sprachsetzungen,\n"
      "Tabellen, Rechte, Anweisungen, Schluesseltypen und Indexe.\n"
      "  --settings DATEI   Einstellungsdatei (sonst %s, wie zibrolt sie liest)\n"
      "  --terminal NAME    Terminal pruefen: Modell, Textsatz, Zuordnungen und wie viele\n"
      "                     Ausweise jede DNL-Funktion schreiben wuerde (Probelauf in\n"
      "                     temporaere Dateien)\n"
      "  --function F       nur diese DNL-Funktion (IDSTAMM, MGDNL17P, MGDNL18P, MGDNL31P,\n"
      "                     MGDNL60P)\n"
      "  --current DATEI    die aktuelle Datei des Terminals mit dem Probelauf vergleichen\n"
      "                     (braucht --function; die Datei wird nur gelesen)\n"
      "  --statements       jede Anweisung, die zibrolt und zibrolt-check senden koennen, in\n"
      "                     jeder Form (Fenster in voller Groesse), als SQL*Plus-Skript\n"
      "                     ausgeben: jede Anweisung, dann eine Zeile nur mit /. Liest\n"
      "                     keine Einstellungen, verbindet sich nicht\n"
      "  --help, --version\n"
      "Jede Zeile beginnt mit OK, WARN oder FAIL. Exit-Status: 0 ohne FAIL, 1 mit FAIL,\n"
      "2 bei falschem Aufruf.\n",
      zibrolt::kSettingsPath);
}

int UsageError(const std::string& text) {
  std::fprintf(stderr, "zibrolt-check: %s\n", text.c_str());
  Usage(stderr);
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zibrolt;
  std::string settings = kSettingsPath;
  check::TerminalRequest request;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    }
    if (arg == "--statements") {
      if (argc != 2) return UsageError("--statements geht nur allein");
      // zibrolt and zibrolt-site send the first part; zibrolt-check both parts.
      const std::string script =
          StatementScript(DataStatements(), "zibrolt " + std::string(kZibroltVersion)) +
          StatementScript(ConnectionStatements(), "zibrolt, je Verbindung") +
          StatementScript(check::CheckToolStatements(), "zibrolt-check, dazu");
      std::fwrite(script.data(), 1, script.size(), stdout);
      return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    if (arg == "--version") {
      std::printf("%s\n", VersionLine("zibrolt-check").c_str());
      return 0;
    }
    std::string* value = arg == "--settings"   ? &settings
                         : arg == "--terminal" ? &request.terminal
                         : arg == "--function" ? &request.function
                         : arg == "--current"  ? &request.current
                                               : nullptr;
    if (!value) return UsageError("unbekannte Angabe " + std::string(arg));
    if (++i == argc) return UsageError(std::string(arg) + " braucht einen Wert");
    *value = argv[i];
  }
  if (request.terminal.empty() && (!request.function.empty() || !request.current.empty()))
    return UsageError("--function und --current gehen nur mit --terminal");
  if (!request.current.empty() && request.function.empty())
    return UsageError("--current braucht --function");
  if (!request.function.empty() && !FindLayout(request.function))
    return UsageError("unbekannte DNL-Funktion " + request.function);

  check::Report report(stdout);
  check::CatchCheckInterrupts(stdout);
  // A FIFO or device would hold the comparison in its open for good, or never end.
  if (!request.current.empty()) {
    platform::NativeFile file = platform::kNoFile;
    const platform::InputKind kind = platform::OpenRegularInput(request.current, &file);
    platform::CloseFile(file);
    if (kind == platform::InputKind::kNotRegular) {
      report.Fail("Aktuelle Datei " + request.current +
                  " ist keine normale Datei (FIFO, Geraet): nicht verglichen");
      request.current.clear();
    }
  }
  // Every end is a verdict with one of the three statuses, never an abort.
  try {
    check::Login login;
    if (check::ReadLogin(settings, report, login)) {
      if (const auto db = check::Connect(login, report)) {
        const check::Dbms dbms = check::CheckSession(*db, report);
        if (dbms != check::Dbms::kUnknown) check::CheckBinds(*db, report);
        if (dbms != check::Dbms::kUnknown) check::CheckStructure(*db, dbms, report);
        if (!request.terminal.empty()) check::CheckTerminal(*db, request, report);
      }
    }
  } catch (const std::exception& e) {
    report.Fail(std::string("Pruefung abgebrochen: ") + e.what());
  }
  return report.Finish();
}
