// Building blocks of the fixed-width download records: terminals read records of a fixed
// length back to back, so a value is copied into its positions and never moves another.
#pragma once
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "frame/run_context.hpp"

namespace zibrolt {

// Bytes below 0x20 and DEL: terminals take them for line ends, string ends or separators,
// never for part of a value.
inline bool IsControlByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b < 0x20 || b == 0x7F;
}
bool HasControlByte(std::string_view text);

// The text for a message line, control bytes written as \xNN so that the line stays one line.
std::string Shown(std::string_view text);

// Widest badge number and access class the fixed-width layouts have room for.
inline constexpr std::size_t kRecordBadgeWidth = 13;
inline constexpr std::size_t kRecordClassWidth = 3;

class FixedRecord {
 public:
  explicit FixedRecord(std::size_t length) : bytes_(length, ' ') {}

  // Copies text to pos, cut at the record's end (callers check widths beforehand). The text
  // ends at a zero byte, as the terminals' strings do, and any other control byte shows as a
  // blank: a descriptive text from the database must not put one into a record.
  void Put(std::size_t pos, std::string_view text) {
    if (pos >= bytes_.size()) return;
    text = text.substr(0, std::min(text.find('\0'), bytes_.size() - pos));
    for (std::size_t i = 0; i < text.size(); ++i)
      bytes_[pos + i] = IsControlByte(text[i]) ? ' ' : text[i];
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

// A badge number longer than the record's field would be cut into another badge's number, and
// one with a control byte would reach the terminal as some other number, so such a badge is
// left out with this line (always printed). True when the badge fits.
bool BadgeNumberFits(const RunContext& run, std::string_view badge);

// An access class longer than 3 characters would be cut into another class, and one with a
// control byte is not the class the terminal knows; that class's record is left out with a
// line naming it. True when the class fits.
bool AccessClassFits(const RunContext& run, std::string_view badge, std::string_view entry);

// The classes of the list that fit, in list order; a line is printed for each one left out.
std::vector<std::string_view> FittingClasses(const RunContext& run, std::string_view badge,
                                             const std::vector<std::string>& classes);

}  // namespace zibrolt
