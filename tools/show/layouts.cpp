// The five download file layouts as data. Terminals read the fixed records back to back
// without separators, so every offset below has to match what the generators write to the
// character.
#include "tools/show/layouts.hpp"

#include <array>
#include <cctype>

namespace zibrolt::show {
namespace {

using K = FieldKind;
using T = ReaderTail;

constexpr Field Reader(int k, int offset, ReaderTail tail) {
  constexpr std::string_view kNames[] = {"",        "reader1", "reader2",  "reader3",
                                         "reader4", "reader5", "reader6",  "reader7",
                                         "reader8", "reader9", "reader10", "reader11"};
  return Field{kNames[k], offset, 5, K::kReader, {}, k, tail};
}

constexpr Field Slot(int n) {
  constexpr std::string_view kNames[] = {"",      "slot1", "slot2", "slot3", "slot4",
                                         "slot5", "slot6", "slot7", "slot8"};
  return Field{kNames[n], 13 + 20 * (n - 1), 20, K::kDisplaySlot, {}, n};
}

// 85 characters: balance value 2 and eleven reader fields; fields 1 to 6 carry the record's
// access class, field 7 the location text, 8 to 11 the reader number only.
constexpr std::array kMgDnl17P = {
    Field{"badge", 0, 13, K::kBadge},
    Field{"valid_from", 13, 8, K::kDate},
    Field{"time", 21, 1, K::kFlag},
    Field{"access", 22, 1, K::kFlag},
    Field{"balance", 23, 7, K::kBalance},
    Reader(1, 30, T::kClass),
    Reader(2, 35, T::kClass),
    Reader(3, 40, T::kClass),
    Reader(4, 45, T::kClass),
    Reader(5, 50, T::kClass),
    Reader(6, 55, T::kClass),
    Reader(7, 60, T::kLocation),
    Reader(8, 65, T::kUnused),
    Reader(9, 70, T::kUnused),
    Reader(10, 75, T::kUnused),
    Reader(11, 80, T::kUnused),
};

// 173 characters: the badge and eight display slots of 20 characters.
constexpr std::array kMgDnl18P = {
    Field{"badge", 0, 13, K::kBadge},
    Slot(1),
    Slot(2),
    Slot(3),
    Slot(4),
    Slot(5),
    Slot(6),
    Slot(7),
    Slot(8),
};

// 48 characters, one record per badge and access class.
constexpr std::array kMgDnl31P = {
    Field{"badge", 0, 13, K::kBadge},
    Field{"valid_from", 13, 8, K::kDate},
    Field{"valid_to", 21, 8, K::kDate},
    Field{"time", 29, 1, K::kFlag},
    Field{"access", 30, 1, K::kFlag},
    Field{"constant1", 31, 8, K::kConstant, "XXXX,XX-"},
    Field{"constant2", 39, 3, K::kConstant, "001"},
    Field{"class", 42, 3, K::kClass},
    Field{"location", 45, 3, K::kText},
};

// 45 characters: balance value 9 and three reader slots.
constexpr std::array kMgDnl60P = {
    Field{"badge", 0, 13, K::kBadge},
    Field{"valid_from", 13, 8, K::kDate},
    Field{"time", 21, 1, K::kFlag},
    Field{"access", 22, 1, K::kFlag},
    Field{"balance", 23, 7, K::kBalance},
    Reader(1, 30, T::kClass),
    Reader(2, 35, T::kClass),
    Reader(3, 40, T::kClass),
};

// The badge master lines: here offset is the field's number on the line.
constexpr std::array kIdStamm = {
    Field{"badge", 0, 0, K::kBadge},
    Field{"valid_from", 1, 8, K::kDate},
    Field{"valid_to", 2, 8, K::kDate},
    Field{"location", 3, 5, K::kText},
    Field{"time", 4, 1, K::kFlag},
    Field{"access", 5, 1, K::kFlag},
    Field{"language", 6, 0, K::kText},
    Field{"text_set", 7, 10, K::kText},
    Field{"constant", 8, 3, K::kConstant, "001"},
    Field{"class", 9, 0, K::kClass},
    Field{"empty", 10, 0, K::kConstant, ""},
    Field{"badge_again", 11, 0, K::kSameAsBadge},
    Field{"badge_type", 12, 0, K::kText},
    Field{"pin", 13, 0, K::kText},
};
static_assert(kIdStamm.size() == kIdStammFields);

constexpr std::array kLayouts = {
    Layout{"IDSTAMM", 0, kIdStamm},     Layout{"MGDNL17P", 85, kMgDnl17P},
    Layout{"MGDNL18P", 173, kMgDnl18P}, Layout{"MGDNL31P", 48, kMgDnl31P},
    Layout{"MGDNL60P", 45, kMgDnl60P},
};

// Each fixed layout covers its record without gap or overlap.
constexpr bool Covers(const Layout& layout) {
  if (layout.Lines()) return true;
  int next = 0;
  for (const Field& f : layout.fields) {
    if (f.offset != next) return false;
    next += f.length;
  }
  return next == layout.recordLength;
}
static_assert(Covers(kLayouts[1]) && Covers(kLayouts[2]) && Covers(kLayouts[3]) &&
              Covers(kLayouts[4]));

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool LooksLikeShortDate(std::string_view s) {  // "dd.mm.yy"
  return s.size() == 8 && IsDigit(s[0]) && IsDigit(s[1]) && s[2] == '.' && IsDigit(s[3]) &&
         IsDigit(s[4]) && s[5] == '.' && IsDigit(s[6]) && IsDigit(s[7]);
}

}  // namespace

const Layout* FindLayout(std::string_view function) {
  for (const Layout& layout : kLayouts) {
    if (layout.function.size() != function.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < function.size() && same; ++i)
      same = std::toupper(static_cast<unsigned char>(function[i])) == layout.function[i];
    if (same) return &layout;
  }
  return nullptr;
}

std::span<const Layout> AllLayouts() { return kLayouts; }

SlotParts SplitDisplaySlot(std::string_view slot, int slotNumber) {
  if (slot.size() < 20) return {slot.substr(0, 13), slot.size() > 13 ? slot.substr(13) : ""};
  if (LooksLikeShortDate(slot.substr(12, 8))) return {slot.substr(0, 12), slot.substr(12, 8)};
  // A label leaves its last position blank, except a shifted one, which leaves the first.
  const bool labelShape = slot[12] == ' ' || (slotNumber >= 5 && slot[0] == ' ');
  if (!labelShape) return {{}, slot};
  return {slot.substr(0, 13), slot.substr(13, 7)};
}

}  // namespace zibrolt::show
