// The comparison keys every record by badge number, access class and, for the rare badge
// that has several records with the same class (several validity periods), the order of those
// records. MGDNL17P and MGDNL60P carry the class only in their reader fields; MGDNL18P has
// one record per badge and no class at all.
//
// Both files are read once into an index of keys; the comparison then walks the two indexes
// side by side. Records whose characters hash alike count as equal: a difference slips through
// only if two different records of the same key share a 64-bit hash.
#include "tools/show/diff.hpp"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "tools/show/render.hpp"

namespace zibrolt::show {
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

bool HasClass(const Layout& layout) {
  for (const Field& f : layout.fields)
    if (f.kind == FieldKind::kClass ||
        (f.kind == FieldKind::kReader && f.tail == ReaderTail::kClass))
      return true;
  return false;
}

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

enum class Kind { kAdded, kRemoved, kChanged };

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kAdded:
      return "added";
    case Kind::kRemoved:
      return "removed";
    case Kind::kChanged:
      break;
  }
  return "changed";
}

struct Item {
  Kind kind;
  const Entry* before;       // kRemoved, kChanged
  const Entry* after;        // kAdded, kChanged
  std::uint32_t occurrence;  // in the new file; for kRemoved in the old one
};

// Pairs the records of one badge and class, which stand in file order, so that an entry's place
// in the group is its occurrence. Identical records pair first (the n-th old copy
// with the n-th new copy), so that a record inserted before an unchanged one shows as an
// addition and not as a change followed by an addition; the rest pair in file order.
void MatchGroup(const Entry* o, std::size_t m, const Entry* n, std::size_t k,
                std::vector<Item>& items) {
  if (m == 1 && k == 1) {
    if (o->hash != n->hash) items.push_back({Kind::kChanged, o, n, 0});
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
      items.push_back({Kind::kChanged, &o[p], &n[q], static_cast<std::uint32_t>(q)});
    else if (p < m)
      items.push_back({Kind::kRemoved, &o[p], nullptr, static_cast<std::uint32_t>(p)});
    else if (q < k)
      items.push_back({Kind::kAdded, nullptr, &n[q], static_cast<std::uint32_t>(q)});
    else
      break;
    ++p;
    ++q;
  }
  std::stable_sort(items.begin() + static_cast<std::ptrdiff_t>(first), items.end(),
                   [](const Item& x, const Item& y) { return x.occurrence < y.occurrence; });
}

// Walks both indexes badge by badge and, within a badge, class by class: onItem for every
// record added, removed or changed, onBadge(inOld, inNew, changed) once for every badge.
template <class OnItem, class OnBadge>
void Walk(const KeyIndex& before, const KeyIndex& after, OnItem onItem, OnBadge onBadge) {
  const std::vector<Entry>& o = before.entries();
  const std::vector<Entry>& n = after.entries();
  std::vector<Item> items;
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
      for (const Item& item : items) onItem(item);
      changed = changed || !items.empty();
      i = ge;
      j = he;
    }
    onBadge(inOld, inNew, changed);
  }
}

std::string Quoted(std::string_view cp1252) {
  const std::size_t last = cp1252.find_last_not_of(' ');
  return "\"" + ShowText(last == cp1252.npos ? "" : cp1252.substr(0, last + 1)) + "\"";
}

}  // namespace

void KeyIndex::Add(const Record& r) {
  if (!r.complete) return;
  const std::string_view badge = BadgeOf(r), accessClass = ClassOf(layout_, r);
  // The masks say what the fields hold (the sizes are far below them).
  entries_.push_back({r.offset, Hash(r.text), keys_.size() & 0xFFFFFFFFFFu, badge.size() & 0xFFFu,
                      accessClass.size() & 0xFFFu});
  keys_.append(badge);
  keys_.append(accessClass);
}

void KeyIndex::Sort() {
  std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
    const std::string_view ba = Badge(a), bb = Badge(b);
    if (ba != bb) return BadgeBefore(ba, bb);
    const std::string_view ca = Class(a), cb = Class(b);
    if (ca != cb) return ca < cb;
    return a.offset < b.offset;
  });
  keys_.shrink_to_fit();
}

bool WriteComparison(const Layout& layout, const ComparedFile& before, const ComparedFile& after,
                     bool csv, std::FILE* out, std::string& failedPath) {
  const bool classes = HasClass(layout);
  auto badgeOf = [&](const Item& it) {
    return it.after ? after.index.Badge(*it.after) : before.index.Badge(*it.before);
  };
  auto classOf = [&](const Item& it) {
    std::string text =
        ShowText(it.after ? after.index.Class(*it.after) : before.index.Class(*it.before));
    if (!csv && text.empty()) text = "-";
    if (it.occurrence > 0) text += " #" + std::to_string(it.occurrence + 1);
    return text;
  };
  auto cellsOf = [&](const Item& it) {
    std::vector<std::string> cells{KindName(it.kind), ShowText(badgeOf(it))};
    if (classes || csv) cells.push_back((csv ? "" : "class ") + classOf(it));
    return cells;
  };
  auto put = [out](const std::string& text) { std::fwrite(text.data(), 1, text.size(), out); };

  // The fields that differ between the two records of a change, read again from the files.
  Record oldRecord, newRecord;
  bool failed = false;
  auto changedFields = [&](const Item& it) -> std::vector<std::size_t> {
    std::vector<std::size_t> fields;
    if (failed) return fields;
    if (!ReadRecordAt(layout, before.file, it.before->offset, oldRecord)) {
      failed = true;
      failedPath = before.path;
    } else if (!ReadRecordAt(layout, after.file, it.after->offset, newRecord)) {
      failed = true;
      failedPath = after.path;
    } else {
      for (std::size_t f = 0; f < layout.fields.size(); ++f)
        if (oldRecord.values[f] != newRecord.values[f]) fields.push_back(f);
    }
    return fields;
  };

  if (csv) {
    put(CsvLine({"change", "badge", "class", "field", "old", "new"}));
    Walk(
        before.index, after.index,
        [&](const Item& it) {
          std::vector<std::string> cells = cellsOf(it);
          if (it.kind != Kind::kChanged) {
            cells.resize(6);
            put(CsvLine(cells));
            return;
          }
          for (std::size_t f : changedFields(it)) {
            cells.resize(3);
            cells.emplace_back(layout.fields[f].name);
            cells.push_back(ShowText(Trim(oldRecord.values[f])));
            cells.push_back(ShowText(Trim(newRecord.values[f])));
            put(CsvLine(cells));
          }
        },
        [](bool, bool, bool) {});
    return !failed;
  }

  // The columns are measured on a first walk, which also counts the badges; the second walk
  // writes the lines.
  Columns columns;
  std::uint64_t added = 0, removed = 0, changed = 0, unchanged = 0;
  Walk(
      before.index, after.index, [&](const Item& it) { columns.Measure(cellsOf(it)); },
      [&](bool inOld, bool inNew, bool anyChange) {
        if (inOld && inNew)
          ++(anyChange ? changed : unchanged);
        else
          ++(inNew ? added : removed);
      });
  Walk(
      before.index, after.index,
      [&](const Item& it) {
        std::vector<std::string> cells = cellsOf(it);
        std::string details;
        if (it.kind == Kind::kChanged) {
          for (std::size_t f : changedFields(it)) {
            if (!details.empty()) details += ", ";
            details += std::string(layout.fields[f].name) + " " + Quoted(oldRecord.values[f]) +
                       " -> " + Quoted(newRecord.values[f]);
          }
        }
        cells.push_back(std::move(details));
        put(columns.Line(cells));
      },
      [](bool, bool, bool) {});
  put("badges: " + std::to_string(added) + " added, " + std::to_string(removed) + " removed, " +
      std::to_string(changed) + " changed, " + std::to_string(unchanged) + " unchanged\n");
  return !failed;
}

}  // namespace zibrolt::show
