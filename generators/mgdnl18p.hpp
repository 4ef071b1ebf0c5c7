// The MGDNL18P record: what a display terminal shows for a badge, as 173 characters without a
// line end (badge number in 13, then eight slots of 20, each a label and a value).
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "data/badge_row.hpp"
#include "generators/display_texts.hpp"

namespace zibrolt {

inline constexpr std::size_t kMgDnl18PLength = 173;

// The value a display line's code selects for one badge: "#W1" the date, "#W2".."#W16" a
// balance value (7 characters), "#W21".."#W29" and "#W30" an information text (20 characters);
// any other code, an empty one included, 7 blanks. Codes match as whole strings. The view is
// into balance, date or a constant.
std::string_view DisplayValue(std::string_view code, const BalanceValues& balance,
                              std::string_view date);

// Sets the value of each of the eight lines from its code.
void FillDisplayValues(DisplayLineTable& lines, const BalanceValues& balance,
                       std::string_view date);

// One record from the lines whose values are filled, the badge number (at most 13 characters),
// today's date "dd.mm.yy" and the terminal model. Always exactly 173 characters.
std::string BuildMgDnl18PRecord(const DisplayLineTable& lines, std::string_view badge,
                                std::string_view date, std::string_view model);

}  // namespace zibrolt
