// The lines printed for badges and classes that do not fit a fixed-width record.
#include "generators/record_checks.hpp"

#include "formats/fixed_record.hpp"

namespace zibrolt {

bool BadgeNumberFits(const Messages& messages, std::string_view badge) {
  if (HasControlByte(badge)) {
    messages.Say("Ausweis %s nicht in Datei gestellt: Ausweisnummer enthaelt Steuerzeichen\n",
                 Shown(badge).c_str());
    return false;
  }
  if (badge.size() <= kRecordBadgeWidth) return true;
  messages.Say("Ausweis %s nicht in Datei gestellt: Ausweisnummer laenger als %zu Zeichen\n",
               std::string(badge).c_str(), kRecordBadgeWidth);
  return false;
}

bool AccessClassFits(const Messages& messages, std::string_view badge, std::string_view entry) {
  // Entries are "%-3s"; trailing blanks of the padding do not count.
  const std::size_t length = entry.find_last_not_of(' ') + 1;
  if (HasControlByte(entry)) {
    messages.Say("Ausweis %s: Zutrittsklasse %s nicht in Datei gestellt: enthaelt Steuerzeichen\n",
                 Shown(badge).c_str(), Shown(entry.substr(0, length)).c_str());
    return false;
  }
  if (length <= kRecordClassWidth) return true;
  messages.Say("Ausweis %s: Zutrittsklasse %s nicht in Datei gestellt: laenger als %zu Zeichen\n",
               std::string(badge).c_str(), std::string(entry).c_str(), kRecordClassWidth);
  return false;
}

std::vector<std::string_view> FittingClasses(const Messages& messages, std::string_view badge,
                                             const std::vector<std::string>& classes) {
  std::vector<std::string_view> fitting;
  for (const std::string& entry : classes)
    if (AccessClassFits(messages, badge, entry)) fitting.push_back(entry);
  return fitting;
}

bool GetsReaderRecords(const Messages& messages, const Rights& rights, std::string_view badge,
                       std::string_view terminal, std::vector<std::string_view>& classes) {
  classes = FittingClasses(messages, badge, rights.classes);
  if (rights.time || !classes.empty()) return true;
  if (rights.classes.empty() && messages.verbose())
    messages.Say("Ausweis %s ohne Zeit-/Zutrittsberechtigung auf Terminal %s\n",
                 std::string(badge).c_str(), std::string(terminal).c_str());
  return false;
}

}  // namespace zibrolt
