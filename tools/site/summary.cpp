// The summary table. Terminal names and paths are shown with control bytes as \xNN (they
// cannot hold any, but a line must stay one line whatever a value holds), a terminal name with
// blanks in double quotes: "ZE-KANTINE " is another terminal than ZE-KANTINE.
#include "tools/site/summary.hpp"

#include "text/control.hpp"

namespace zibrolt::site {

std::string ShownTerminal(const std::string& name) {
  const std::string shown = Shown(name);
  if (!name.empty() && name.find_first_of(" \t") == std::string::npos) return shown;
  return "\"" + shown + "\"";
}

bool PrintSummary(const std::vector<SiteJob>& jobs, const std::vector<JobOutcome>& outcomes,
                  bool interrupted, std::FILE* out) {
  std::fprintf(out, "Zusammenfassung:\n");
  std::fprintf(out, "%-7s %-5s %-9s %-20s %9s %-14s %8s  %s\n", "Auftrag", "Zeile", "Funktion",
               "Terminal", "Ausweise", "Status", "Sekunden", "Datei");
  std::size_t failed = 0;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const JobOutcome& o = outcomes[i];
    const char* status = o.ok        ? "OK"
                         : o.stopped ? "ABGEBROCHEN"
                         : o.started ? "FEHLER"
                                     : "NICHT GELAUFEN";
    if (!o.ok) ++failed;
    std::fprintf(out, "%-7zu %-5d %-9s %-20s %9d %-14s %8.2f  %s\n", i + 1, jobs[i].line,
                 jobs[i].function.c_str(), ShownTerminal(jobs[i].terminal).c_str(), o.written,
                 status, o.seconds, Shown(jobs[i].path).c_str());
  }
  if (failed == 0 && !interrupted) {
    std::fprintf(out, "Alle %zu Auftraege erfolgreich.\n", jobs.size());
    return true;
  }
  if (interrupted)
    std::fprintf(out, "Lauf unterbrochen: %zu von %zu Auftraegen erfolgreich.\n",
                 jobs.size() - failed, jobs.size());
  if (failed > 0)
    std::fprintf(out, "%zu von %zu Auftraegen fehlgeschlagen:\n", failed, jobs.size());
  for (std::size_t i = 0; i < jobs.size(); ++i)
    if (!outcomes[i].ok)
      std::fprintf(out, "Fehlgeschlagen: Zeile %d %s %s %s\n", jobs[i].line,
                   jobs[i].function.c_str(), ShownTerminal(jobs[i].terminal).c_str(),
                   Shown(jobs[i].path).c_str());
  return false;
}

}  // namespace zibrolt::site
