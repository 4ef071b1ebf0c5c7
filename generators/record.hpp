// Building blocks of the fixed-width download records: terminals read records of a fixed
// length back to back, so a value is copied into its positions and never moves another.
#pragma once
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "frame/run_context.hpp"

namespace zibrolt {

// Widest badge number and access class the fixed-width layouts have room for.
inline constexpr std::size_t kRecordBadgeWidth = 13;
inline constexpr std::size_t kRecordClassWidth = 3;

class FixedRecord {
 public:
  explicit FixedRecord(std::size_t length) : bytes_(length, ' ') {}

  // Copies text to pos, cut at the record's end (callers check widths beforehand).
  void Put(std::size_t pos, std::string_view text) {
    if (pos >= bytes_.size()) return;
    bytes_.replace(pos, std::min(text.size(), bytes_.size() - pos), text.substr(0, bytes_.size() - pos));
  }
  // A date "yyyymmdd"; eight blanks (no date) become "00000000".
  void PutDate(std::size_t pos, std::string_view date) {
    Put(pos, date);
    if (bytes_.compare(pos, 8, "        ") == 0) Put(pos, "00000000");
  }
  void Blank(std::size_t pos, std::size_t length) { Put(pos, std::string(length, ' ')); }
  char At(std::size_t pos) const { return bytes_[pos]; }
  std::string_view bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// A badge number longer than the record's field would be cut into another badge's number, so
// such a badge is left out with this line (always printed). True when the badge fits.
bool BadgeNumberFits(const RunContext& run, std::string_view badge);

// An access class longer than 3 characters would be cut into another class; that class's
// record is left out with a line naming it. True when the class fits.
bool AccessClassFits(const RunContext& run, std::string_view badge, std::string_view entry);

}  // namespace zibrolt
