// Reading the active terminals and writing their jobs. Terminals withdrawn (status 4 or 8) are
// left out, as the terminal context leaves them out.
#include "tools/site/make_jobs.hpp"

#include <set>

#include "client/sqlhlp.hpp"
#include "frame/run_driver.hpp"
#include "generators/registry.hpp"
#include "text/control.hpp"
#include "tools/site/job_file.hpp"

namespace zibrolt::site {
namespace {

constexpr sqlhlp::Column kNameColumns[] = {sqlhlp::Text(256)};
constexpr sqlhlp::Query kActiveTerminals{
    "select TrmNam  from Korvadat.Kvd1140Trm where ((TrmSta<>4 and TrmSta<>8) or TrmSta is "
    "null ) order by TrmNam",
    kNameColumns};

void Replace(std::string& text, std::string_view key, std::string_view value) {
  for (std::size_t at = text.find(key); at != std::string::npos;
       at = text.find(key, at + value.size()))
    text.replace(at, key.size(), value);
}

}  // namespace

std::string FilePath(std::string_view pattern, std::string_view terminal,
                     std::string_view function) {
  std::string safe;
  for (char c : terminal) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.';
    safe += plain ? c : '_';
  }
  if (safe.find_first_not_of('.') == std::string::npos) safe.assign(safe.size(), '_');  // "..", "."
  std::string path(pattern);
  Replace(path, "{function}", function);
  Replace(path, "{terminal}", safe);
  return path;
}

int MakeJobs(const std::string& settingsPath, std::string_view functions, std::string_view pattern,
             std::FILE* out, std::FILE* err) {
  std::vector<std::string> names;
  std::vector<std::string> fields;
  std::string problem;
  if (!SplitJobLine(functions, fields, &problem) || fields.empty()) {
    std::fprintf(err, "Keine DNL-Funktionen angegeben!\n");
    return -1;
  }
  for (std::string& f : fields) {
    StrUpper(f);
    if (!FindDownloadFunction(f)) {
      std::fprintf(err, "Unbekannte DNL-Funktion %s!\n", Shown(f).c_str());
      return -1;
    }
    names.push_back(f);
  }
  if (pattern.find("{terminal}") == std::string_view::npos) {
    std::fprintf(err, "Dateimuster ohne {terminal}: jeder Auftrag schriebe dieselbe Datei!\n");
    return -1;
  }
  if (names.size() > 1 && pattern.find("{function}") == std::string_view::npos) {
    std::fprintf(err, "Dateimuster ohne {function} bei mehreren DNL-Funktionen!\n");
    return -1;
  }

  Login login;
  if (!ReadLogin(err, login, settingsPath.c_str())) return -1;
  std::unique_ptr<sqlhlp::Connection> db = ConnectReporting(err, login);
  if (!db) return -1;
  sqlhlp::Statement& st = db->Use(kActiveTerminals);
  int status = st.Open();
  std::set<std::string> paths;
  std::string line;
  int jobs = 0;
  while (status == sqlhlp::kOk && (status = st.Fetch()) == sqlhlp::kOk) {
    const std::string terminal(st.GetText(0));
    for (const std::string& function : names) {
      const std::string path = FilePath(pattern, terminal, function);
      line.assign(function);
      line += ' ';
      const bool writable = QuoteField(terminal, line);
      line += ' ';
      if (!writable || !QuoteField(path, line)) {
        std::fprintf(err,
                     "Terminal %s ausgelassen: Name mit Anfuehrungszeichen oder "
                     "Steuerzeichen!\n",
                     Shown(terminal).c_str());
        break;
      }
      if (!paths.insert(path).second) {
        std::fprintf(err, "Terminal %s ausgelassen: Datei %s schon vergeben!\n",
                     Shown(terminal).c_str(), Shown(path).c_str());
        continue;
      }
      std::fprintf(out, "%s 1\n", line.c_str());
      ++jobs;
    }
  }
  st.Close();
  if (status != sqlhlp::kNoRow) {
    ReportDriverState(err, db->DriverState(status));
    std::fprintf(err, "Terminals konnten nicht gelesen werden! SQLCode:%d\n", status);
    return -1;
  }
  if (jobs == 0) {
    std::fprintf(err, "Keine aktiven Terminals gefunden!\n");
    return -1;
  }
  return 0;
}

}  // namespace zibrolt::site
