// Generator of the IDSTAMM download file, the badge master file of a terminal: one line of 14
// quoted, comma-separated fields per badge and access class (or one line for a badge that
// may only record time), each ended by CR LF.
#include <string>
#include <string_view>
#include <vector>

#include "data/badges.hpp"
#include "data/checks.hpp"
#include "generators/generators.hpp"
#include "generators/record.hpp"

namespace zibrolt {
namespace {

// The terminal reads lines into a 255-character buffer, line feed included.
constexpr std::size_t kLineMax = 255;

// Classes are collected without readers; the number is then not used.
constexpr int kHighestReader = 32;

// What stays the same on every line of one badge.
struct BadgeFields {
  std::string_view AswNum;
  std::string_view AswGvo;  // "yyyymmdd" or empty: this file shows no "00000000"
  std::string_view AswGbi;
  std::string_view location;  // last 5 characters of AwvSto, empty for "00000"
  char timeFlag;              // '1' with a time authorisation on the terminal
  char accessFlag;            // '1' with at least one access class there
  std::string_view AswSpr;
  std::string_view AswSal;  // the badge's, else the terminal's TRMSAL
  std::string_view AswAtp;
  std::string_view AswPin;
};

// Field 4: "%08s" of AwvSto is 8 characters; the terminal takes its last five, and "00000"
// means no location.
std::string_view LocationField(std::string_view awvSto) {
  std::string_view last5 = awvSto.size() > 5 ? awvSto.substr(awvSto.size() - 5) : awvSto;
  return last5 == "00000" ? std::string_view{} : last5;
}

// One line: the badge's fields with accessClass as field 10, ended by "\n".
std::string BuildIdStammLine(const BadgeFields& f, std::string_view accessClass) {
  const std::string_view timeFlag(&f.timeFlag, 1);
  const std::string_view accessFlag(&f.accessFlag, 1);
  const std::string_view fields[14] = {f.AswNum,   f.AswGvo, f.AswGbi, f.location, timeFlag,
                                       accessFlag, f.AswSpr, f.AswSal, "001",      accessClass,
                                       "",         f.AswNum, f.AswAtp, f.AswPin};
  std::string line;
  for (std::string_view field : fields) {
    if (!line.empty()) line += ',';
    line += '"';
    line += field;
    line += '"';
  }
  line += '\n';
  return line;
}

// The terminal splits lines at line ends and fields at quotes without any escaping, so a value
// holding either would shift every later field of the line; it reads lines as strings, so a
// zero byte ends the line early, and no other control byte is part of any value.
const char* ValueProblem(std::string_view value) {
  if (value.find_first_of("\"\r\n") != std::string_view::npos)
    return "Wert enthaelt Anfuehrungszeichen oder Zeilenumbruch";
  if (HasControlByte(value)) return "Wert enthaelt Steuerzeichen";
  return nullptr;
}

// Why the badge's lines cannot go to the terminal, or nullptr when they can.
const char* LineProblem(const BadgeFields& f, const std::vector<std::string_view>& classes,
                        const std::vector<std::string>& lines) {
  for (std::string_view value :
       {f.AswNum, f.AswGvo, f.AswGbi, f.location, f.AswSpr, f.AswSal, f.AswAtp, f.AswPin})
    if (const char* problem = ValueProblem(value)) return problem;
  for (std::string_view value : classes)
    if (const char* problem = ValueProblem(value)) return problem;
  for (const std::string& line : lines)
    if (line.size() > kLineMax) return "Zeile laenger als 255 Zeichen";
  return nullptr;
}

}  // namespace

int WorkIdStamm(RunContext& run, std::string_view, const TerminalRecord& terminal) {
  BadgeRow row;
  BadgeCursor cursor(run.db);
  Authorisations checks(run, terminal, &cursor);
  int read = 0;
  int written = 0;

  cursor.OpenBadgeCursor(terminal);  // a failed open shows up at the first fetch
  int status = cursor.FetchBadge(row);
  while (status == sqlhlp::kOk) {
    ++read;
    BadgeFields f{};
    f.AswNum = row.AswNum;
    f.AswGvo = row.AswGvo;
    f.AswGbi = row.AswGbi;
    f.AswSpr = row.AswSpr;
    f.AswSal = row.AswSal.empty() ? std::string_view(terminal.TRMSAL) : row.AswSal;
    f.AswAtp = row.AswAtp;
    f.AswPin = row.AswPin;
    int time = 0;
    const int access = checks.CheckBadge(row, kHighestReader, false, time);
    if (access < 0) {
      status = access;
      break;
    }
    f.timeFlag = time == 1 ? '1' : '0';
    f.accessFlag = access == 1 ? '1' : '0';

    if (f.timeFlag == '0' && f.accessFlag == '0') {
      if (run.verbose)
        Say(run, "Ausweis %s ohne Zeit-/Zutrittsberechtigung auf Terminal %s\n", row.AswNum.c_str(),
            terminal.name.c_str());
    } else {
      f.location = LocationField(row.AwvSto);
      // A badge with access classes gets one line per class, highest first; one that may
      // only record time gets one line with its own class.
      std::vector<std::string_view> lineClasses;
      if (f.accessFlag == '1')
        lineClasses.assign(checks.list().entries().begin(), checks.list().entries().end());
      else
        lineClasses.push_back(row.AswBkl);
      std::vector<std::string> lines;
      for (std::string_view accessClass : lineClasses)
        lines.push_back(BuildIdStammLine(f, accessClass));

      // All lines of a badge or none: a terminal must never get a broken line.
      if (const char* problem = LineProblem(f, lineClasses, lines)) {
        Say(run, "Ausweis %s nicht in Datei gestellt: %s\n", Shown(row.AswNum).c_str(), problem);
      } else {
        for (const std::string& line : lines) run.file.WriteText(line);
        ++written;
      }
    }
    row.Clear();
    status = cursor.FetchBadge(row);
  }

  cursor.CloseBadgeCursor();
  Say(run, "Ausweise gesamt: %d davon in Datei gestellt: %d\n", read, written);
  return status == sqlhlp::kNoRow ? 1 : 0;
}

}  // namespace zibrolt
