// Building a fixed-width download record by its layout: terminals read records of a fixed
// length back to back, so a value is copied into its field, cut to the field's width, and never
// moves another.
#pragma once
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "formats/layout.hpp"
#include "text/control.hpp"

namespace zibrolt {

// Widest badge number and access class the fixed-width layouts have room for.
inline constexpr std::size_t kRecordBadgeWidth = 13;
inline constexpr std::size_t kRecordClassWidth = 3;

class FixedRecord {
 public:
  explicit FixedRecord(const Layout& layout)
      : layout_(layout), bytes_(static_cast<std::size_t>(layout.recordLength), ' ') {}

  // Copies text into the field, cut to its width.
  void Put(int field, std::string_view text) { PutAt(field, 0, text, Width(field)); }
  // Copies text into the part of the field that starts `within` positions into it and is at
  // most width long. The text ends at a zero byte, as the terminals' strings do, and any other
  // control byte shows as a blank: a descriptive text from the database must not put one into
  // a record.
  void PutAt(int field, std::size_t within, std::string_view text, std::size_t width) {
    const Field& f = layout_.fields[static_cast<std::size_t>(field)];
    if (within >= Width(field)) return;
    width = std::min(width, Width(field) - within);
    text = text.substr(0, std::min(text.find('\0'), width));
    const std::size_t pos = static_cast<std::size_t>(f.offset) + within;
    for (std::size_t i = 0; i < text.size(); ++i)
      bytes_[pos + i] = IsControlByte(text[i]) ? ' ' : text[i];
  }
  // As PutAt, with the rest of the width blanked: nothing written there before shows through.
  void PutPadded(int field, std::size_t within, std::string_view text, std::size_t width) {
    if (within >= Width(field)) return;
    width = std::min(width, Width(field) - within);
    const Field& f = layout_.fields[static_cast<std::size_t>(field)];
    std::fill_n(bytes_.begin() + f.offset + static_cast<std::ptrdiff_t>(within), width, ' ');
    PutAt(field, within, text, width);
  }
  // A date "yyyymmdd"; eight blanks (no date) become "00000000".
  void PutDate(int field, std::string_view date) {
    Put(field, date);
    const Field& f = layout_.fields[static_cast<std::size_t>(field)];
    if (bytes_.compare(static_cast<std::size_t>(f.offset), 8, "        ") == 0)
      Put(field, "00000000");
  }
  // The text every record holds in a constant field.
  void PutConstant(int field) {
    Put(field, layout_.fields[static_cast<std::size_t>(field)].expected);
  }
  // Blanks from the field's start to the record's end.
  void BlankFrom(int field) {
    const Field& f = layout_.fields[static_cast<std::size_t>(field)];
    bytes_.replace(static_cast<std::size_t>(f.offset), std::string::npos,
                   bytes_.size() - static_cast<std::size_t>(f.offset), ' ');
  }
  std::string_view bytes() const { return bytes_; }

 private:
  std::size_t Width(int field) const {
    return static_cast<std::size_t>(layout_.fields[static_cast<std::size_t>(field)].length);
  }

  const Layout& layout_;
  std::string bytes_;
};

}  // namespace zibrolt
