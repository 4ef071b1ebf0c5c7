// Reading the terminals and writing their jobs. Every terminal of the table gets its jobs,
// withdrawn ones (status 4 or 8) too: their files then come out empty, which is how a site
// locks a terminal, where a terminal left out would keep yesterday's file every night. A
// terminal that cannot be listed fails the whole list: a night without it would end with 0
// and its file would never change again.
#include "tools/site/make_jobs.hpp"

#include <set>

#include "client/sqlhlp.hpp"
#include "data/terminal.hpp"
#include "frame/run_driver.hpp"
#include "generators/registry.hpp"
#include "text/ascii_case.hpp"
#include "text/control.hpp"
#include "tools/site/job_file.hpp"

namespace zibrolt::site {
namespace {

void Replace(std::string& text, std::string_view key, std::string_view value) {
  for (std::size_t at = text.find(key); at != std::string::npos;
       at = text.find(key, at + value.size()))
    text.replace(at, key.size(), value);
}

// Two paths that name one file: on Windows letter case does not tell files apart.
std::string PathKey(std::string path) {
#ifdef _WIN32
  for (char& c : path)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
#endif
  return path;
}

}  // namespace

std::string EscapeName(std::string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  // Only "." left as it is would give "." or "..", a name that leaves the folder.
  const bool dotsOnly = name.find_first_not_of('.') == std::string_view::npos;
  std::string safe;
  for (char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || (c == '.' && !dotsOnly);
    if (plain) {
      safe += c;
    } else {
      const auto u = static_cast<unsigned char>(c);
      safe += '%';
      safe += kHex[u >> 4];
      safe += kHex[u & 15];
    }
  }
  return safe;
}

std::string FilePath(std::string_view pattern, std::string_view terminal,
                     std::string_view function) {
  std::string path(pattern);
  Replace(path, "{function}", function);
  Replace(path, "{terminal}", EscapeName(terminal));
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
  sqlhlp::Statement& st = db->Use(kAllTerminals);
  int status = st.Open();
  std::set<std::string> paths;
  std::string jobs;
  std::vector<SiteJob> parsed;
  int terminals = 0, refused = 0;
  while (status == sqlhlp::kOk && (status = st.Fetch()) == sqlhlp::kOk) {
    const std::string terminal(st.GetText(0));
    ++terminals;
    for (const std::string& function : names) {
      const std::string path = FilePath(pattern, terminal, function);
      std::string line = function + ' ';
      const bool writable = QuoteField(terminal, line);
      line += ' ';
      if (!writable || !QuoteField(path, line)) {
        std::fprintf(err,
                     "Terminal %s nicht auflistbar: Name mit Anfuehrungszeichen oder "
                     "Steuerzeichen!\n",
                     Shown(terminal).c_str());
        ++refused;
        break;
      }
      line += " 1\n";
      // The line as zibrolt-site will read it: a name or path too long for zibrolt fails here.
      const std::vector<JobFileError> errors = ParseJobs(line, parsed);
      if (!errors.empty()) {
        std::fprintf(err, "Terminal %s nicht auflistbar: %s!\n", Shown(terminal).c_str(),
                     errors.front().text.c_str());
        ++refused;
        break;
      }
      if (!paths.insert(PathKey(path)).second) {
        std::fprintf(err, "Terminal %s nicht auflistbar: Datei %s schon vergeben!\n",
                     Shown(terminal).c_str(), Shown(path).c_str());
        ++refused;
        continue;
      }
      jobs += line;
    }
  }
  st.Close();
  if (status != sqlhlp::kNoRow) {
    ReportDriverState(err, db->DriverState(status));
    std::fprintf(err, "Terminals konnten nicht gelesen werden! SQLCode:%d\n", status);
    return -1;
  }
  if (terminals == 0) {
    std::fprintf(err, "Keine Terminals gefunden!\n");
    return -1;
  }
  if (refused > 0) {
    std::fprintf(err, "Auftragsliste nicht geschrieben: %d Auftraege nicht auflistbar!\n", refused);
    return -1;
  }
  if (std::fputs(jobs.c_str(), out) == EOF || std::fflush(out) != 0) {
    std::fprintf(err, "Auftragsliste konnte nicht geschrieben werden!\n");
    return -1;
  }
  return 0;
}

}  // namespace zibrolt::site
