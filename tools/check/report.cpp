// Values from the database or the settings may hold any byte; Shown() keeps each line one line.
#include "tools/check/report.hpp"

#include "text/control.hpp"

namespace zibrolt::check {

void Report::Line(const char* mark, const std::string& text, int& count) {
  ++count;
  std::fprintf(out_, "%s  %s\n", mark, Shown(text).c_str());
}

void Report::Detail(const std::string& text) {
  std::fprintf(out_, "      %s\n", Shown(text).c_str());
}

int Report::Finish() {
  std::fprintf(out_, "Ergebnis: %d OK, %d WARN, %d FAIL\n", ok_, warn_, fail_);
  return fail_ == 0 ? 0 : 1;
}

std::vector<std::string> ReadLines(std::FILE* text) {
  std::vector<std::string> lines(1);
  std::rewind(text);
  for (int c; (c = std::fgetc(text)) != EOF;) {
    if (c == '\n')
      lines.emplace_back();
    else
      lines.back() += static_cast<char>(c);
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

namespace {

// What a status means, as the table of statuses in docs/dba.md says it: Oracle's error numbers
// and the embedded database's result codes, which do not overlap where a site meets them.
const char* StatusWords(int status) {
  switch (status) {
    case -1:
      return "SQL-Fehler: Tabelle oder Spalte fehlt";
    case -5:
      return "Datenbank von einem Schreiber gesperrt";
    case -11:
      return "Datenbankdatei beschaedigt";
    case -14:
      return "Datenbankdatei nicht zu oeffnen";
    case -20:
      return "eine Datumsspalte enthaelt kein Datum";
    case -26:
      return "die Datei ist keine Datenbank";
    case -266:
      return "der Datenbankpfad ist ein Ordner";
    case -776:
      return "Journal eines abgebrochenen Schreibers, die Datenbank ist nur lesbar";
    case -942:
      return "Tabelle oder Sicht fehlt oder ist nicht freigegeben";
    case -1001:
      return "Liste nicht geoeffnet";
    case -1017:
      return "Anmeldung abgelehnt: Benutzer oder Passwort falsch";
    case -1435:
      return "Schema unbekannt";
    case -1544:
      return "WAL-Datenbank in einem Ordner, den der Lauf nicht beschreiben darf";
    case -12154:
      return "Verbindung ohne Oracle-Fehlernummer gescheitert (Datenquelle, Treiber)";
    case -100001:
      return "Treiberfehler ohne Oracle-Fehlernummer";
    default:
      return nullptr;
  }
}

}  // namespace

std::string StatusText(int status, const std::string& driverState) {
  std::string text = "SQLCode " + std::to_string(status);
  if (const char* words = StatusWords(status)) text = text + " (" + words + ")";
  if (!driverState.empty()) text += ", SQLSTATE " + driverState;
  return text;
}

}  // namespace zibrolt::check
