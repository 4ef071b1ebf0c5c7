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
#include "formats/reader_record.hpp"

namespace zibrolt::mgdnl60p {

// The shared beginning first (reader_record.hpp), then the reader fields.
enum FieldId {
  kBadge = kHeadBadge,
  kValidFrom = kHeadValidFrom,
  kTime = kHeadTime,
  kAccess = kHeadAccess,
  kBalance = kHeadBalance,
  kReader1
};
inline constexpr int kHighestReader = 3;

extern const Layout kLayout;

// What one badge's records are made of (the balance is value 9; no location).
using Badge = ReaderRecordBadge;

// One record per access class, or one time-only record (all reader slots blank) without one.
std::vector<std::string> BuildRecords(const Badge& badge);

}  // namespace zibrolt::mgdnl60p
