// The comparison keys every record by badge number, access class and, for the rare badge
// that has several records with the same class (several validity periods), the order of those
// records. MGDNL17P and MGDNL60P carry the class only in their reader fields; MGDNL18P has
// one record per badge and no class at all.
//
// Records whose characters hash alike count as equal: a difference slips through only if two
// different records of the same key share a 64-bit hash.
#include "formats/record_diff.hpp"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <span>

namespace zibrolt {
namespace {

using Entry = KeyIndex::Entry;

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

// Badge numbers are digits mostly: 99 comes before 100.
bool BadgeBefore(std::string_view a, std::string_view b) {
  const bool na = AllDigits(a), nb = AllDigits(b);
  if (na != nb) return na;
  if (na && a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

bool BytesBefore(std::string_view a, std::string_view b) { return a < b; }

std::string_view ClassOf(const Layout& layout, const Record& r) {
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const Field& f = layout.fields[i];
    if (f.kind == FieldKind::kClass) return Trim(r.values[i]);
    if (f.kind == FieldKind::kReader && f.tail == ReaderTail::kClass) {
      const std::string_view tail = Trim(std::string_view(r.values[i]).substr(2));
      if (!tail.empty()) return tail;
    }
  }
  return {};
}

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 32;
  x *= 0xD6E8FEB86659FD93ull;
  x ^= x >> 32;
  x *= 0xD6E8FEB86659FD93ull;
  return x ^ (x >> 32);
}

// Every step is a bijection, so two records that differ in one 8-byte word never collide.
std::uint64_t Hash(std::string_view s) {
  std::uint64_t h = Mix(0x9E3779B97F4A7C15ull ^ s.size());
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s.data() + i, 8);
    h = Mix(h ^ w);
  }
  std::uint64_t w = 0;
  std::memcpy(&w, s.data() + i, s.size() - i);
  return Mix(h ^ w);
}

// Pairs the records of one badge and class, which stand in file order, so that an entry's place
// in the group is its occurrence. Identical records pair first (the n-th old copy
// with the n-th new copy), so that a record inserted before an unchanged one shows as an
// addition and not as a change followed by an addition; the rest pair in file order.
void MatchGroup(const Entry* o, std::size_t m, const Entry* n, std::size_t k,
                std::vector<IndexedChange>& items) {
  if (m == 1 && k == 1) {
    if (o->hash != n->hash) items.push_back({ChangeKind::kChanged, o, n, 0});
    return;
  }
  std::vector<bool> oldTaken(m), newTaken(k);
  if (m > 0 && k > 0) {
    std::vector<std::uint32_t> a(m), b(k);
    std::iota(a.begin(), a.end(), 0u);
    std::iota(b.begin(), b.end(), 0u);
    // Within a group the entries stand in file order, so equal hashes keep it.
    std::stable_sort(a.begin(), a.end(), [o](auto x, auto y) { return o[x].hash < o[y].hash; });
    std::stable_sort(b.begin(), b.end(), [n](auto x, auto y) { return n[x].hash < n[y].hash; });
    for (std::size_t p = 0, q = 0; p < m && q < k;) {
      if (o[a[p]].hash < n[b[q]].hash) {
        ++p;
      } else if (n[b[q]].hash < o[a[p]].hash) {
        ++q;
      } else {
        oldTaken[a[p++]] = true;
        newTaken[b[q++]] = true;
      }
    }
  }
  const std::size_t first = items.size();
  for (std::size_t p = 0, q = 0;;) {
    while (p < m && oldTaken[p]) ++p;
    while (q < k && newTaken[q]) ++q;
    if (p < m && q < k)
      items.push_back({ChangeKind::kChanged, &o[p], &n[q], static_cast<std::uint32_t>(q)});
    else if (p < m)
      items.push_back({ChangeKind::kRemoved, &o[p], nullptr, static_cast<std::uint32_t>(p)});
    else if (q < k)
      items.push_back({ChangeKind::kAdded, nullptr, &n[q], static_cast<std::uint32_t>(q)});
    else
      break;
    ++p;
    ++q;
  }
  std::stable_sort(
      items.begin() + static_cast<std::ptrdiff_t>(first), items.end(),
      [](const IndexedChange& x, const IndexedChange& y) { return x.occurrence < y.occurrence; });
}

// The records of one file one badge at a time: a run of records with the same badge number.
// Also tells whether the badges so far came in byte order and in the order of BadgeBefore. The
// records are read into a pool that is reused from badge to badge, so that a file of any length
// costs the storage of its largest badge.
class BadgeGroups {
 public:
  BadgeGroups(const Layout& layout, std::FILE* file) : reader_(layout, file) {
    if (file == nullptr) done_ = true;
  }

  // The next badge's records into group(); false at the end or on a read error.
  bool Next() {
    if (pending_) std::swap(pool_[0], pool_[size_]);
    size_ = 0;
    if (done_ || (!pending_ && !ReadInto(0))) {
      done_ = true;
      return false;
    }
    pending_ = false;
    size_ = 1;
    badge_.assign(BadgeOf(pool_[0]));
    while (ReadInto(size_)) {
      if (BadgeOf(pool_[size_]) != badge_) {
        pending_ = true;
        break;
      }
      ++size_;
    }
    if (!first_) {
      bytesOrder_ = bytesOrder_ && BytesBefore(last_, badge_);
      digitsOrder_ = digitsOrder_ && BadgeBefore(last_, badge_);
    }
    first_ = false;
    last_ = badge_;
    return true;
  }

  std::span<const Record> group() const { return {pool_.data(), size_}; }
  const std::string& badge() const { return badge_; }
  bool failed() const { return reader_.error() != 0; }
  bool bytesOrder() const { return bytesOrder_; }
  bool digitsOrder() const { return digitsOrder_; }

 private:
  bool ReadInto(std::size_t k) {
    if (pool_.size() <= k) pool_.resize(k + 1);
    return reader_.Next(pool_[k]);
  }

  RecordReader reader_;
  std::vector<Record> pool_;
  std::size_t size_ = 0;  // records of the current badge; a pending one follows them
  bool pending_ = false, done_ = false, first_ = true;
  bool bytesOrder_ = true, digitsOrder_ = true;
  std::string badge_, last_;
};

const Record* AtOffset(std::span<const Record> records, const Entry* e) {
  if (e == nullptr) return nullptr;
  for (const Record& r : records)
    if (r.offset == e->offset) return &r;
  return nullptr;
}

// Hands the changes of the two indexes to onChange with their records, found by offset.
template <class RecordOf>
void Report(const KeyIndex& before, const KeyIndex& after, RecordOf recordOf,
            const std::function<void(const RecordChange&)>& onChange) {
  WalkChanges(
      before, after,
      [&](const IndexedChange& c) {
        const KeyIndex& index = c.after ? after : before;
        const Entry& e = c.after ? *c.after : *c.before;
        const Record* old = recordOf(false, c.before);
        const Record* made = recordOf(true, c.after);
        if ((c.before && !old) || (c.after && !made)) return;
        onChange({c.kind, index.Badge(e), index.Class(e), c.occurrence, old, made});
      },
      [](bool, bool, bool) {});
}

}  // namespace

bool IndexWhole(const Layout& layout, std::FILE* file, KeyIndex& index) {
  if (file == nullptr) return true;
  if (std::fseek(file, 0, SEEK_SET) != 0) return false;
  RecordReader reader(layout, file);
  Record r;
  while (reader.Next(r)) index.Add(r);
  index.Sort();
  return reader.error() == 0;
}

const char* ChangeKindName(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::kAdded:
      return "added";
    case ChangeKind::kRemoved:
      return "removed";
    case ChangeKind::kChanged:
      break;
  }
  return "changed";
}

bool HasClass(const Layout& layout) {
  for (const Field& f : layout.fields)
    if (f.kind == FieldKind::kClass ||
        (f.kind == FieldKind::kReader && f.tail == ReaderTail::kClass))
      return true;
  return false;
}

void WalkChanges(const KeyIndex& before, const KeyIndex& after,
                 const std::function<void(const IndexedChange&)>& onChange,
                 const std::function<void(bool, bool, bool)>& onBadge) {
  const std::vector<Entry>& o = before.entries();
  const std::vector<Entry>& n = after.entries();
  std::vector<IndexedChange> items;
  std::size_t i = 0, j = 0;
  while (i < o.size() || j < n.size()) {
    std::string_view badge;
    if (j == n.size() || (i < o.size() && !BadgeBefore(after.Badge(n[j]), before.Badge(o[i]))))
      badge = before.Badge(o[i]);
    else
      badge = after.Badge(n[j]);
    std::size_t ie = i, je = j;
    while (ie < o.size() && before.Badge(o[ie]) == badge) ++ie;
    while (je < n.size() && after.Badge(n[je]) == badge) ++je;
    const bool inOld = ie > i, inNew = je > j;
    bool changed = false;
    while (i < ie || j < je) {
      std::string_view accessClass;
      if (j == je || (i < ie && before.Class(o[i]) <= after.Class(n[j])))
        accessClass = before.Class(o[i]);
      else
        accessClass = after.Class(n[j]);
      std::size_t ge = i, he = j;
      while (ge < ie && before.Class(o[ge]) == accessClass) ++ge;
      while (he < je && after.Class(n[he]) == accessClass) ++he;
      items.clear();
      MatchGroup(o.data() + i, ge - i, n.data() + j, he - j, items);
      for (const IndexedChange& item : items) onChange(item);
      changed = changed || !items.empty();
      i = ge;
      j = he;
    }
    onBadge(inOld, inNew, changed);
  }
}

void KeyIndex::Add(const Record& r) {
  if (!r.complete) return;
  const std::string_view badge = BadgeOf(r), accessClass = ClassOf(layout_, r);
  // The masks say what the fields hold (the sizes are far below them).
  entries_.push_back({r.offset, Hash(r.text), keys_.size() & 0xFFFFFFFFFFu, badge.size() & 0xFFFu,
                      accessClass.size() & 0xFFFu});
  keys_.append(badge);
  keys_.append(accessClass);
}

void KeyIndex::Sort(bool release) {
  std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
    const std::string_view ba = Badge(a), bb = Badge(b);
    if (ba != bb) return BadgeBefore(ba, bb);
    const std::string_view ca = Class(a), cb = Class(b);
    if (ca != cb) return ca < cb;
    return a.offset < b.offset;
  });
  if (release) keys_.shrink_to_fit();
}

// A first pass reads only which order the badges of both files follow; the files were just
// written or are about to be replaced, so the second reading comes from the system's cache.
// The generators write badges in the order the database returns them, which is the byte order
// of the numbers on both database systems as they are set up at the sites.
bool CompareFiles(const Layout& layout, std::FILE* before, std::FILE* after,
                  const std::function<void(const RecordChange&)>& onChange) {
  bool bytes = true, digits = true;
  for (std::FILE* file : {before, after}) {
    BadgeGroups groups(layout, file);
    while (groups.Next()) {
    }
    if (groups.failed()) return false;
    bytes = bytes && groups.bytesOrder();
    digits = digits && groups.digitsOrder();
  }
  for (std::FILE* file : {before, after})
    if (file != nullptr && std::fseek(file, 0, SEEK_SET) != 0) return false;

  if (!bytes && !digits) {
    // Neither order: both files indexed whole, and every record of a change read again.
    KeyIndex oldIndex(layout), newIndex(layout);
    if (!IndexWhole(layout, before, oldIndex) || !IndexWhole(layout, after, newIndex)) return false;
    Record oldRecord, newRecord;
    bool failed = false;
    Report(
        oldIndex, newIndex,
        [&](bool isNew, const Entry* e) -> const Record* {
          if (e == nullptr || failed) return nullptr;
          Record& r = isNew ? newRecord : oldRecord;
          if (ReadRecordAt(layout, isNew ? after : before, e->offset, r)) return &r;
          failed = true;
          return nullptr;
        },
        onChange);
    return !failed;
  }

  auto first = bytes ? BytesBefore : BadgeBefore;
  BadgeGroups o(layout, before), n(layout, after);
  KeyIndex oldIndex(layout), newIndex(layout);
  const std::span<const Record> none;
  auto compare = [&](std::span<const Record> oldGroup, std::span<const Record> newGroup) {
    oldIndex.Clear();
    newIndex.Clear();
    for (const Record& r : oldGroup) oldIndex.Add(r);
    for (const Record& r : newGroup) newIndex.Add(r);
    oldIndex.Sort(false);
    newIndex.Sort(false);
    Report(
        oldIndex, newIndex,
        [&](bool isNew, const Entry* e) { return AtOffset(isNew ? newGroup : oldGroup, e); },
        onChange);
  };
  bool hasOld = o.Next(), hasNew = n.Next();
  while (hasOld || hasNew) {
    if (hasOld && hasNew && o.badge() == n.badge()) {
      compare(o.group(), n.group());
      hasOld = o.Next();
      hasNew = n.Next();
    } else if (hasNew && (!hasOld || first(n.badge(), o.badge()))) {
      compare(none, n.group());
      hasNew = n.Next();
    } else {
      compare(o.group(), none);
      hasOld = o.Next();
    }
  }
  return !o.failed() && !n.failed();
}

}  // namespace zibrolt
