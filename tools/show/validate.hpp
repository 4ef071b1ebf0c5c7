// Checks a download file against its layout: record lengths, dates, flags, reader numbers,
// constants and the IDSTAMM line structure. Each finding names the record and the byte
// offset in the file, so that an operator can find the spot with a hex viewer.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "formats/layout.hpp"
#include "tools/show/records.hpp"

namespace zibrolt::show {

struct Finding {
  int record;          // record (IDSTAMM: line) number, from 1
  std::size_t offset;  // byte offset in the file
  std::string message;
};

std::vector<Finding> Validate(const Layout& layout, const std::vector<Record>& records);

// True for "yyyymmdd" naming a day of the Gregorian calendar.
bool IsCalendarDate(std::string_view text);

}  // namespace zibrolt::show
