// The MGDNL17P record: 85 characters, read by the terminals back to back, one per badge and
// access class (or one time-only record): validity, flags, balance value 2 and eleven reader
// fields; readers 1 to 6 carry the class, field 7 the badge's location.
#pragma once
#include <bitset>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/layout.hpp"

namespace zibrolt::mgdnl17p {

enum FieldId { kBadge, kValidFrom, kTime, kAccess, kBalance, kReader1 };
inline constexpr int kHighestReader = 11;
inline constexpr int kHighestClassReader = 6;  // readers 7 to 11 carry their number only
inline constexpr int kLocationReader = 7;      // field 7 shows the badge's location text

extern const Layout kLayout;

// What one badge's records are made of.
struct Badge {
  std::string_view number;                    // at most 13 characters
  std::string_view validFrom;                 // "yyyymmdd" or empty
  std::string_view balance;                   // balance value 2, 7 characters; blanks for none
  bool time = false;                          // holds a time authorisation on the terminal
  std::span<const std::string_view> classes;  // access classes that fit, highest first
  std::bitset<12> readers;                    // the terminal's readers
  std::optional<std::string_view> location;   // first 3 characters of the location, if found
};

// One record per access class, or one time-only record when there is none.
std::vector<std::string> BuildRecords(const Badge& badge);

}  // namespace zibrolt::mgdnl17p
