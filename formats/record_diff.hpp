// Compares two download files of the same function record by record, keyed by badge number and
// access class: what a terminal gains, loses and sees changed when the new file replaces the old
// one. The viewer's --diff, the preflight's dry run and the runs' change log all pair records
// here, so that they agree on what a change is.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/layout.hpp"
#include "formats/records.hpp"

namespace zibrolt {

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
  // After the last Add; release gives back the keys' spare room (an index that is kept), which
  // one reused badge after badge keeps.
  void Sort(bool release = true);
  void Clear() {
    entries_.clear();
    keys_.clear();
  }

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

enum class ChangeKind { kAdded, kRemoved, kChanged };
const char* ChangeKindName(ChangeKind kind);  // "added", "removed", "changed"

// One record added, removed or changed. occurrence counts the records of one badge and class
// (several validity periods), from 0: in the new file, for a removal in the old one.
struct IndexedChange {
  ChangeKind kind;
  const KeyIndex::Entry* before;  // kRemoved, kChanged
  const KeyIndex::Entry* after;   // kAdded, kChanged
  std::uint32_t occurrence;
};

// Walks both indexes badge by badge and, within a badge, class by class: onChange for every
// record added, removed or changed, onBadge(inOld, inNew, changed) once for every badge.
void WalkChanges(const KeyIndex& before, const KeyIndex& after,
                 const std::function<void(const IndexedChange&)>& onChange,
                 const std::function<void(bool, bool, bool)>& onBadge);

// Whether the layout's records carry an access class (MGDNL18P's do not).
bool HasClass(const Layout& layout);

// Indexes every record of an open file from its start (nullptr: no file, an empty index);
// false on a read error.
bool IndexWhole(const Layout& layout, std::FILE* file, KeyIndex& index);

// A change with both records read: before is null for an addition, after for a removal.
struct RecordChange {
  ChangeKind kind;
  std::string_view badge;
  std::string_view accessClass;  // without padding; empty when the layout has none
  std::uint32_t occurrence;
  const Record* before;
  const Record* after;
};

// Compares the old file (null: there was none, so every record is an addition) with the new
// one and hands every change to onChange, in badge order. Both files are read side by side and
// only one badge's records of each are held, when both stand in one badge order (the database's
// byte order, or digits by value); a file in neither order is indexed whole as --diff does.
// False when a file cannot be read to its end.
bool CompareFiles(const Layout& layout, std::FILE* before, std::FILE* after,
                  const std::function<void(const RecordChange&)>& onChange);

}  // namespace zibrolt
