// The lines printed for badges and classes that do not fit a fixed-width record.
#include "generators/record.hpp"

#include <cstdio>
#include <string>

namespace zibrolt {

bool HasControlByte(std::string_view text) {
  for (char c : text)
    if (IsControlByte(c)) return true;
  return false;
}

std::string Shown(std::string_view text) {
  std::string shown;
  for (char c : text) {
    if (!IsControlByte(c)) {
      shown.push_back(c);
      continue;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
    shown += hex;
  }
  return shown;
}

bool BadgeNumberFits(const RunContext& run, std::string_view badge) {
  if (HasControlByte(badge)) {
    Say(run, "Ausweis %s nicht in Datei gestellt: Ausweisnummer enthaelt Steuerzeichen\n",
        Shown(badge).c_str());
    return false;
  }
  if (badge.size() <= kRecordBadgeWidth) return true;
  Say(run, "Ausweis %s nicht in Datei gestellt: Ausweisnummer laenger als %zu Zeichen\n",
      std::string(badge).c_str(), kRecordBadgeWidth);
  return false;
}

std::vector<std::string_view> FittingClasses(const RunContext& run, std::string_view badge,
                                             const std::vector<std::string>& classes) {
  std::vector<std::string_view> fitting;
  for (const std::string& entry : classes)
    if (AccessClassFits(run, badge, entry)) fitting.push_back(entry);
  return fitting;
}

bool AccessClassFits(const RunContext& run, std::string_view badge, std::string_view entry) {
  // Entries are "%-3s"; trailing blanks of the padding do not count.
  std::size_t length = entry.find_last_not_of(' ') + 1;
  if (HasControlByte(entry)) {
    Say(run, "Ausweis %s: Zutrittsklasse %s nicht in Datei gestellt: enthaelt Steuerzeichen\n",
        Shown(badge).c_str(), Shown(entry.substr(0, length)).c_str());
    return false;
  }
  if (length <= kRecordClassWidth) return true;
  Say(run, "Ausweis %s: Zutrittsklasse %s nicht in Datei gestellt: laenger als %zu Zeichen\n",
      std::string(badge).c_str(), std::string(entry).c_str(), kRecordClassWidth);
  return false;
}

}  // namespace zibrolt
