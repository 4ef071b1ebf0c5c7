// Cuts the bytes of a download file into records and each record into the fields of its
// layout, keeping every field's byte offset in the file so that a finding can point at it.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "formats/layout.hpp"

namespace zibrolt::show {

struct Record {
  int number = 0;                   // from 1, in file order
  std::size_t offset = 0;           // byte offset of the record's first character in the file
  std::string text;                 // the record's characters; for IDSTAMM the line without its end
  std::string lineEnd;              // IDSTAMM: "\r\n", "\n", or empty when the file ends first
  int fieldsFound = 0;              // IDSTAMM: quoted fields on the line
  bool quoted = true;               // IDSTAMM: the line starts and ends with a double quote
  bool complete = false;            // every field present: full length, or 14 quoted fields
  std::vector<std::string> values;  // one per layout field, as the file holds it ("" if missing)
  std::vector<std::size_t> offsets;  // byte offset in the file of each value
};

std::vector<Record> SplitRecords(const Layout& layout, std::string_view file);

// The badge number of a record without its padding.
std::string_view BadgeOf(const Record& record);

// Text without the blanks around it.
std::string_view Trim(std::string_view text);

}  // namespace zibrolt::show
