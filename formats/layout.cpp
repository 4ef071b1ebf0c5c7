// Reading a display slot back into its parts.
#include "formats/layout.hpp"

namespace zibrolt {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool LooksLikeShortDate(std::string_view s) {  // "dd.mm.yy"
  return s.size() == 8 && IsDigit(s[0]) && IsDigit(s[1]) && s[2] == '.' && IsDigit(s[3]) &&
         IsDigit(s[4]) && s[5] == '.' && IsDigit(s[6]) && IsDigit(s[7]);
}

}  // namespace

SlotParts SplitDisplaySlot(std::string_view slot, int slotNumber) {
  if (slot.size() < 20) return {slot.substr(0, 13), slot.size() > 13 ? slot.substr(13) : ""};
  if (LooksLikeShortDate(slot.substr(12, 8))) return {slot.substr(0, 12), slot.substr(12, 8)};
  // A label leaves its last position blank, except a shifted one, which leaves the first.
  const bool labelShape = slot[12] == ' ' || (slotNumber >= 5 && slot[0] == ' ');
  if (!labelShape) return {{}, slot};
  return {slot.substr(0, 13), slot.substr(13, 7)};
}

}  // namespace zibrolt
