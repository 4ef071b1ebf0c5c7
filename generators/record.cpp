// The lines printed for badges and classes that do not fit a fixed-width record.
#include "generators/record.hpp"

#include <string>

namespace zibrolt {

bool BadgeNumberFits(const RunContext& run, std::string_view badge) {
  if (badge.size() <= kRecordBadgeWidth) return true;
  Say(run, "Ausweis %s nicht in Datei gestellt: Ausweisnummer laenger als %zu Zeichen\n",
      std::string(badge).c_str(), kRecordBadgeWidth);
  return false;
}

bool AccessClassFits(const RunContext& run, std::string_view badge, std::string_view entry) {
  // Entries are "%-3s"; trailing blanks of the padding do not count.
  std::size_t length = entry.find_last_not_of(' ') + 1;
  if (length <= kRecordClassWidth) return true;
  Say(run, "Ausweis %s: Zutrittsklasse %s nicht in Datei gestellt: laenger als %zu Zeichen\n",
      std::string(badge).c_str(), std::string(entry).c_str(), kRecordClassWidth);
  return false;
}

}  // namespace zibrolt
