// The MGDNL60P record: 45 characters, read back to back by terminals with up to three readers,
// one per badge and access class (or one time-only record), each with the badge's balance
// value 9 and the class on every reader the terminal has.
#pragma once
#include <bitset>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/layout.hpp"

namespace zibrolt::mgdnl60p {

enum FieldId { kBadge, kValidFrom, kTime, kAccess, kBalance, kReader1 };
inline constexpr int kHighestReader = 3;

extern const Layout kLayout;

// What one badge's records are made of.
struct Badge {
  std::string_view number;                    // at most 13 characters
  std::string_view validFrom;                 // "yyyymmdd" or empty
  std::string_view balance;                   // balance value 9, 7 characters; blanks for none
  bool time = false;                          // holds a time authorisation on the terminal
  std::span<const std::string_view> classes;  // access classes that fit, highest first
  std::bitset<12> readers;                    // the terminal's readers
};

// One record per access class, or one time-only record (all reader slots blank) without one.
std::vector<std::string> BuildRecords(const Badge& badge);

}  // namespace zibrolt::mgdnl60p
