// Checks a download file against its layout: record lengths, dates, flags, reader numbers,
// constants and the IDSTAMM line structure. Each finding names the record and the byte
// offset in the file, so that an operator can find the spot with a hex viewer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/layout.hpp"
#include "formats/records.hpp"

namespace zibrolt::show {

struct Finding {
  std::size_t record;    // record (IDSTAMM: line) number, from 1
  std::uint64_t offset;  // byte offset in the file
  std::string message;
};

// A broken file can hold a finding in every field of millions of records: only the first
// ones are kept for showing, the rest are counted.
struct Findings {
  static constexpr std::size_t kShown = 100;
  std::vector<Finding> shown;  // the first kShown, in file order
  std::uint64_t count = 0;     // all of them

  void Add(Finding finding) {
    if (count++ < kShown) shown.push_back(std::move(finding));
  }
};

// Adds the findings of one record.
void Check(const Layout& layout, const Record& record, Findings& findings);

// True for "yyyymmdd" naming a day of the Gregorian calendar.
bool IsCalendarDate(std::string_view text);

}  // namespace zibrolt::show
