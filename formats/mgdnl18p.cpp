// The MGDNL18P layout and its record.
#include "formats/mgdnl18p.hpp"

#include <algorithm>

#include "formats/fixed_record.hpp"

namespace zibrolt::mgdnl18p {
namespace {

using K = FieldKind;

constexpr Field SlotField(int n) {
  constexpr std::string_view kNames[] = {"",      "slot1", "slot2", "slot3", "slot4",
                                         "slot5", "slot6", "slot7", "slot8"};
  return Field{kNames[n], 13 + 20 * (n - 1), 20, K::kDisplaySlot, {}, n};
}

constexpr std::array kFields = {
    Field{"badge", 0, 13, K::kBadge},
    SlotField(1),
    SlotField(2),
    SlotField(3),
    SlotField(4),
    SlotField(5),
    SlotField(6),
    SlotField(7),
    SlotField(8),
};
static_assert(Covers(Layout{"MGDNL18P", 173, kFields}));

constexpr std::size_t kSlotWidth = 20;
constexpr std::size_t kLabelWidth = 13;   // 12 characters and a closing blank
constexpr std::size_t kValueOffset = 13;  // the value follows the label
constexpr std::size_t kValueWidth = 7;
constexpr std::size_t kDateOffset = 12;  // the date takes the label's closing blank as well
constexpr std::size_t kDateWidth = 8;
constexpr std::size_t kShortValueMax = 10;  // longer values are information texts

// This model has no slots 5 to 8: they are sent blank.
constexpr std::string_view kFourSlotModel = "7598-002";

}  // namespace

const Layout kLayout{"MGDNL18P", 173, kFields};

std::string BuildRecord(const std::array<Slot, kSlots>& slots, std::string_view badge,
                        std::string_view date, std::string_view model) {
  FixedRecord record(kLayout);
  for (int n = 1; n <= kSlots; ++n) {
    const Slot& slot = slots[n - 1];
    if (slot.label.empty()) continue;
    // The lower four slots can show their label one position to the right (column 2).
    if (n >= 5 && slot.column == 2)
      record.PutPadded(kSlot1 + n - 1, 1, slot.label, kLabelText);
    else
      record.PutPadded(kSlot1 + n - 1, 0, slot.label, kLabelWidth);
  }
  record.PutPadded(kBadge, 0, badge, 13);

  for (int n = 1; n <= kSlots; ++n) {
    const std::string_view value = slots[n - 1].value;
    const std::size_t length = std::min(value.find('\0'), value.size());
    if (length == 0) continue;
    // An information text is too long for the value positions and takes the whole slot.
    if (length > kShortValueMax)
      record.PutPadded(kSlot1 + n - 1, 0, value, kSlotWidth);
    else
      record.PutPadded(kSlot1 + n - 1, kValueOffset, value, kValueWidth);
  }

  // The first date slot shows the whole date; a further one keeps the 7 value positions.
  for (int n = 1; n <= kSlots; ++n) {
    if (slots[n - 1].valueCode != "#W1") continue;
    record.PutPadded(kSlot1 + n - 1, kDateOffset, date, kDateWidth);
    break;
  }

  if (model == kFourSlotModel) record.BlankFrom(kSlot1 + 4);
  return std::string(record.bytes());
}

}  // namespace zibrolt::mgdnl18p
