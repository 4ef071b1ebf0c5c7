// The MGDNL18P record: what a display terminal shows for a badge, as 173 characters without a
// line end (the badge number in 13, then eight slots of 20, each a label and a value).
#pragma once
#include <array>
#include <string>
#include <string_view>

#include "formats/layout.hpp"

namespace zibrolt::mgdnl18p {

enum FieldId { kBadge, kSlot1 };
inline constexpr int kSlots = 8;
inline constexpr std::size_t kLabelText = 12;  // label characters; a closing blank follows

extern const Layout kLayout;

// What one slot shows.
struct Slot {
  std::string_view label;      // 13 characters, or empty for a slot without a display line
  int column = 1;              // 2 shifts the label of slots 5 to 8 one position right
  std::string_view value;      // up to 20 characters; longer than 10 takes the whole slot
  std::string_view valueCode;  // "#W1" marks the date slot
};

// One record, always exactly 173 characters. date is today's "dd.mm.yy"; model the terminal's
// model (one model has no slots 5 to 8: they are sent blank).
std::string BuildRecord(const std::array<Slot, kSlots>& slots, std::string_view badge,
                        std::string_view date, std::string_view model);

}  // namespace zibrolt::mgdnl18p
