// Parsing the jobs file. Field sizes are those of zibrolt's command line, checked here so that a
// job that zibrolt would refuse before connecting stops the whole file up front; what zibrolt
// decides once connected (the function, the terminal) each job decides as zibrolt does.
#include "tools/site/job_file.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "text/ascii_case.hpp"
#include "text/control.hpp"

namespace zibrolt::site {
namespace {

constexpr std::size_t kFunctionMax = 19;
constexpr std::size_t kTerminalMax = 255;
constexpr std::size_t kPathMax = 199;

bool Blank(char c) { return c == ' ' || c == '\t'; }

bool Control(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

std::string TooLong(const char* name, std::size_t size, std::size_t max) {
  char text[160];
  std::snprintf(text, sizeof text, "%s zu lang: %zu Zeichen, erlaubt sind hoechstens %zu", name,
                size, max);
  return text;
}

// Why the fields are no job, or empty when they are one.
std::string CheckJob(const std::vector<std::string>& f, SiteJob& job) {
  if (f.size() < 4) return "zu wenige Felder (Funktion, Terminal, Datei, Modus [/d])";
  if (f.size() > 5) return "zu viele Felder (Funktion, Terminal, Datei, Modus [/d])";
  if (f.size() == 5 && f[4] != "/d") return "fuenftes Feld ist nicht /d: " + Shown(f[4]);
  if (f[0].size() > kFunctionMax)
    return TooLong("Param1 (DNL-Funktion)", f[0].size(), kFunctionMax);
  if (f[1].size() > kTerminalMax)
    return TooLong("Param2 (Terminal-Name)", f[1].size(), kTerminalMax);
  if (f[2].size() > kPathMax) return TooLong("Param3 (Pfad der DNL-Datei)", f[2].size(), kPathMax);
  // An unknown function fails its job as it fails zibrolt, with zibrolt's line.
  job.function = f[0];
  StrUpper(job.function);
  if (f[2].empty()) return "Pfad der DNL-Datei leer";
  // zibrolt takes any mode but "1..." as append; here a typing error would keep yesterday's
  // records (revoked badges among them) and double the file.
  if (f[3] != "0" && f[3] != "1")
    return "Modus \"" + Shown(f[3]) + "\" ist weder 1 (neu) noch 0 (dran haengen)";
  job.terminal = f[1];
  job.path = f[2];
  job.create = f[3] == "1";
  job.verbose = f.size() == 5;
  return {};
}

}  // namespace

bool SplitJobLine(std::string_view line, std::vector<std::string>& fields, std::string* problem) {
  fields.clear();
  std::size_t i = 0;
  while (true) {
    while (i < line.size() && Blank(line[i])) ++i;
    if (i == line.size() || line[i] == '#') return true;  // "#" outside quotes: a comment
    std::string field;
    if (line[i] == '"') {
      const std::size_t close = line.find('"', i + 1);
      if (close == std::string_view::npos) {
        *problem = "Anfuehrungszeichen nicht geschlossen";
        return false;
      }
      field.assign(line.substr(i + 1, close - i - 1));
      i = close + 1;
      if (i < line.size() && !Blank(line[i])) {
        *problem = "Zeichen direkt nach schliessendem Anfuehrungszeichen";
        return false;
      }
    } else {
      while (i < line.size() && !Blank(line[i])) {
        if (line[i] == '"') {
          *problem = "Anfuehrungszeichen mitten im Feld";
          return false;
        }
        field.push_back(line[i++]);
      }
    }
    for (char c : field)
      if (Control(c)) {
        *problem = "Steuerzeichen im Feld " + Shown(field);
        return false;
      }
    fields.push_back(std::move(field));
  }
}

std::string CanonicalPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path : canonical.string();
}

std::vector<JobFileError> ParseJobs(std::string_view text, std::vector<SiteJob>& jobs) {
  std::vector<JobFileError> errors;
  std::vector<std::string> fields;
  int number = 0;
  // Editors on Windows start a UTF-8 file with a byte order mark; it is no part of the first job.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const std::size_t first = jobs.size();
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // written on Windows
    std::string problem;
    if (!SplitJobLine(line, fields, &problem)) {
      errors.push_back({number, problem});
      continue;
    }
    if (fields.empty()) continue;
    SiteJob job;
    job.line = number;
    problem = CheckJob(fields, job);
    if (problem.empty())
      jobs.push_back(std::move(job));
    else
      errors.push_back({number, problem});
  }
  // Two jobs that write one file anew would both say OK and the last one win; jobs that all
  // append add their records in job order, which is what a site means by them.
  std::map<std::string, std::vector<const SiteJob*>> byFile;
  for (std::size_t i = first; i < jobs.size(); ++i)
    byFile[CanonicalPath(jobs[i].path)].push_back(&jobs[i]);
  for (const auto& [file, shared] : byFile) {
    if (shared.size() < 2 ||
        std::none_of(shared.begin(), shared.end(), [](const SiteJob* j) { return j->create; }))
      continue;
    for (std::size_t k = 1; k < shared.size(); ++k)
      errors.push_back({shared[k]->line,
                        "Datei " + Shown(shared[k]->path) + " auch in Zeile " +
                            std::to_string(shared[0]->line) +
                            ": mehrere Auftraege fuer eine Datei nur, wenn alle anhaengen (0)"});
  }
  std::stable_sort(errors.begin(), errors.end(),
                   [](const JobFileError& a, const JobFileError& b) { return a.line < b.line; });
  return errors;
}

bool QuoteField(std::string_view value, std::string& out) {
  bool quote = value.empty() || value.front() == '#';
  for (char c : value) {
    if (c == '"' || Control(c)) return false;
    if (Blank(c)) quote = true;
  }
  if (quote) out += '"';
  out += value;
  if (quote) out += '"';
  return true;
}

}  // namespace zibrolt::site
