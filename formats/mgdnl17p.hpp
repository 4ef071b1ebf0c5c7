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
#include "formats/reader_record.hpp"

namespace zibrolt::mgdnl17p {

// The shared beginning first (reader_record.hpp), then the reader fields.
enum FieldId {
  kBadge = kHeadBadge,
  kValidFrom = kHeadValidFrom,
  kTime = kHeadTime,
  kAccess = kHeadAccess,
  kBalance = kHeadBalance,
  kReader1
};
inline constexpr int kHighestReader = 11;
inline constexpr int kHighestClassReader = 6;  // readers 7 to 11 carry their number only
inline constexpr int kLocationReader = 7;      // field 7 shows the badge's location text

extern const Layout kLayout;

// What one badge's records are made of (the balance is value 2).
using Badge = ReaderRecordBadge;

// One record per access class, or one time-only record when there is none.
std::vector<std::string> BuildRecords(const Badge& badge);

}  // namespace zibrolt::mgdnl17p
