// Compares two download files of the same function, record by record, keyed by badge number
// and access class: the preview of what a terminal will gain, lose and see changed when the
// new file replaces the old one.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "formats/layout.hpp"
#include "tools/show/records.hpp"

namespace zibrolt::show {

// Where the complete records of one file stand, ordered by badge, class and file order. Each
// record takes one 24-byte entry and the characters of its badge and class, never the record
// itself: the records that differ are read again from the file when the comparison is written.
class KeyIndex {
 public:
  struct Entry {
    std::uint64_t offset;            // of the record in its file
    std::uint64_t hash;              // of the record's characters
    std::uint64_t keyAt : 40;        // badge, then class, in keys_
    std::uint64_t badgeLength : 12;  // without padding; under 4096 in a complete record
    std::uint64_t classLength : 12;  // without padding; 0 when the record has none
  };
  // A complete line spends 41 of its at most kLineKept characters on quotes and commas.
  static_assert(kLineKept <= 4096);

  explicit KeyIndex(const Layout& layout) : layout_(layout) {}

  // Records that do not have all their fields (a short record, a broken line) take no part:
  // the check reports them.
  void Add(const Record& r);
  void Reserve(std::uint64_t records) { entries_.reserve(records); }
  void Sort();  // after the last Add

  const std::vector<Entry>& entries() const { return entries_; }
  std::string_view Badge(const Entry& e) const { return {keys_.data() + e.keyAt, e.badgeLength}; }
  std::string_view Class(const Entry& e) const {
    return {keys_.data() + e.keyAt + e.badgeLength, e.classLength};
  }

 private:
  const Layout& layout_;
  std::vector<Entry> entries_;
  std::string keys_;
};

// Writes the records added, removed and changed from the old file to the new one, as aligned
// lines with a closing count of badges or as CSV. False when a record could not be read again;
// then the path of that file is in failedPath.
struct ComparedFile {
  const KeyIndex& index;
  std::FILE* file;
  const std::string& path;
};
bool WriteComparison(const Layout& layout, const ComparedFile& before, const ComparedFile& after,
                     bool csv, std::FILE* out, std::string& failedPath);

}  // namespace zibrolt::show
