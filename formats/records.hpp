// Reads a download file record by record and cuts each record into the fields of its layout,
// keeping every field's byte offset in the file so that a finding can point at it. The file is
// read in chunks and only the current record is held, so a file of any size takes the same
// memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "formats/layout.hpp"

namespace zibrolt {

// IDSTAMM characters of one line kept for its fields. A sound line has at most 254; a longer one
// is a finding whatever it holds, and a file without any line feed must not become one line in
// memory.
inline constexpr std::size_t kLineKept = 4096;

struct Record {
  std::size_t number = 0;           // from 1, in file order
  std::uint64_t offset = 0;         // byte offset of the record's first character in the file
  std::string text;                 // the record's characters; IDSTAMM: the line without its end,
                                    // at most kLineKept characters of it
  std::uint64_t length = 0;         // IDSTAMM: characters on the line, beyond text's too
  std::string lineEnd;              // IDSTAMM: "\r\n", "\n", or empty when the file ends first
  int fieldsFound = 0;              // IDSTAMM: quoted fields on the line
  bool quoted = true;               // IDSTAMM: the line starts and ends with a double quote
  bool complete = false;            // every field present: full length, or 14 quoted fields
  std::vector<std::string> values;  // one per layout field, as the file holds it ("" if missing)
  std::vector<std::uint64_t> offsets;  // byte offset in the file of each value

  bool Cut() const { return length > text.size(); }  // IDSTAMM: the line exceeds kLineKept
};

// Cuts the fields of a record whose text, offset and (for IDSTAMM) length and line end are set.
void SplitFields(const Layout& layout, Record& r);

// Hands out the records of an open file one at a time, from where the file stands.
class RecordReader {
 public:
  RecordReader(const Layout& layout, std::FILE* file, std::uint64_t offset = 0,
               std::size_t chunk = 1 << 16)
      : layout_(layout), file_(file), buffer_(chunk), offset_(offset) {}

  // The next record into r, reusing its storage; false at the end of the file or when reading
  // failed (then error() holds the errno).
  bool Next(Record& r);
  int error() const { return error_; }

 private:
  bool Fill();  // more bytes into the buffer; false at the end or on an error
  bool NextFixed(Record& r);
  bool NextLine(Record& r);

  const Layout& layout_;
  std::FILE* file_;
  std::vector<char> buffer_;
  std::size_t at_ = 0, end_ = 0;  // unread bytes of the buffer
  std::uint64_t offset_ = 0;      // file offset of buffer_[at_]
  std::size_t count_ = 0;
  int error_ = 0;
};

// The record that starts at offset, read again for the comparison; false when it cannot be read.
bool ReadRecordAt(const Layout& layout, std::FILE* file, std::uint64_t offset, Record& r);

// The badge number of a record without its padding.
std::string_view BadgeOf(const Record& record);

// Text without the blanks around it.
std::string_view Trim(std::string_view text);

}  // namespace zibrolt
