// The IDSTAMM job: the badge master lines of a terminal, one per badge and access class (or one
// with the badge's own class for a badge that may only record time).
#include "formats/idstamm.hpp"

#include <string>
#include <string_view>
#include <vector>

#include "data/checks.hpp"
#include "generators/jobs.hpp"

namespace zibrolt {
namespace {

// Field 4: "%08s" of AwvSto is 8 characters; the terminal takes its last five, and "00000"
// means no location.
std::string_view LocationField(std::string_view awvSto) {
  std::string_view last5 = awvSto.size() > 5 ? awvSto.substr(awvSto.size() - 5) : awvSto;
  return last5 == "00000" ? std::string_view{} : last5;
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
const char* LineProblem(const idstamm::Badge& b, const std::vector<std::string_view>& classes,
                        const std::vector<std::string>& lines) {
  for (std::string_view value :
       {b.number, b.validFrom, b.validTo, b.location, b.language, b.textSet, b.type, b.pin})
    if (const char* problem = ValueProblem(value)) return problem;
  for (std::string_view value : classes)
    if (const char* problem = ValueProblem(value)) return problem;
  for (const std::string& line : lines)
    if (line.size() > idstamm::kLineMax) return "Zeile laenger als 255 Zeichen";
  return nullptr;
}

class IdStammJob final : public BadgeJob {
 public:
  explicit IdStammJob(const JobContext& context)
      : c_(context), checks_(c_.db, c_.messages, c_.terminal, c_.list, c_.shared) {}

  int Badge(const BadgeRow& row) override {
    const Messages& m = c_.messages;
    const Rights& rights = checks_.CheckBadge(row);
    if (rights.status != sqlhlp::kOk) return rights.status;
    idstamm::Badge b;
    b.time = rights.time;
    b.access = !rights.classes.empty();
    if (!b.time && !b.access) {
      if (m.verbose())
        m.Say("Ausweis %s ohne Zeit-/Zutrittsberechtigung auf Terminal %s\n", row.AswNum.c_str(),
              c_.terminal.name.c_str());
      return 0;
    }
    b.number = row.AswNum;
    b.validFrom = row.AswGvo;
    b.validTo = row.AswGbi;
    b.location = LocationField(row.AwvSto);
    b.language = row.AswSpr;
    b.textSet = row.AswSal.empty() ? std::string_view(c_.terminal.TRMSAL) : row.AswSal;
    b.type = row.AswAtp;
    b.pin = row.AswPin;
    // A badge with access classes gets one line per class, highest first; one that may only
    // record time gets one line with its own class.
    std::vector<std::string_view> lineClasses;
    if (b.access)
      lineClasses.assign(rights.classes.begin(), rights.classes.end());
    else
      lineClasses.push_back(row.AswBkl);
    std::vector<std::string> lines;
    for (std::string_view accessClass : lineClasses)
      lines.push_back(idstamm::BuildLine(b, accessClass));

    // All lines of a badge or none: a terminal must never get a broken line.
    if (const char* problem = LineProblem(b, lineClasses, lines)) {
      m.Say("Ausweis %s nicht in Datei gestellt: %s\n", Shown(row.AswNum).c_str(), problem);
      return 0;
    }
    for (const std::string& line : lines) c_.file.WriteText(line);
    return 1;
  }

 private:
  JobContext c_;
  Authorisations checks_;
};

}  // namespace

std::unique_ptr<BadgeJob> MakeIdStammJob(const JobContext& context) {
  return std::make_unique<IdStammJob>(context);
}

}  // namespace zibrolt
