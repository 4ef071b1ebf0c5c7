// The comparison keys every record by badge number, access class and, for the rare badge
// that has two records with the same class (two validity periods), the order of those
// records. MGDNL17P and MGDNL60P carry the class only in their reader fields; MGDNL18P has
// one record per badge and no class at all.
#include "tools/show/diff.hpp"

#include <map>
#include <set>
#include <tuple>

#include "tools/show/render.hpp"

namespace zibrolt::show {
namespace {

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

// Badge numbers are digits mostly: 99 comes before 100.
struct BadgeOrder {
  bool operator()(const std::string& a, const std::string& b) const {
    const bool na = AllDigits(a), nb = AllDigits(b);
    if (na != nb) return na;
    if (na && a.size() != b.size()) return a.size() < b.size();
    return a < b;
  }
};

struct Key {
  std::string badge;
  std::string accessClass;
  int occurrence;
  bool operator<(const Key& o) const {
    if (badge != o.badge) return BadgeOrder{}(badge, o.badge);
    return std::tie(accessClass, occurrence) < std::tie(o.accessClass, o.occurrence);
  }
};

bool HasClass(const Layout& layout) {
  for (const Field& f : layout.fields)
    if (f.kind == FieldKind::kClass ||
        (f.kind == FieldKind::kReader && f.tail == ReaderTail::kClass))
      return true;
  return false;
}

std::string ClassOf(const Layout& layout, const Record& r) {
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const Field& f = layout.fields[i];
    if (f.kind == FieldKind::kClass) return std::string(Trim(r.values[i]));
    if (f.kind == FieldKind::kReader && f.tail == ReaderTail::kClass) {
      const std::string_view tail = Trim(std::string_view(r.values[i]).substr(2));
      if (!tail.empty()) return std::string(tail);
    }
  }
  return {};
}

std::map<Key, const Record*> Index(const Layout& layout, const std::vector<Record>& records) {
  std::map<Key, const Record*> index;
  std::map<std::pair<std::string, std::string>, int> seen;
  for (const Record& r : records) {
    if (!r.complete) continue;
    Key key{std::string(BadgeOf(r)), ClassOf(layout, r), 0};
    key.occurrence = seen[{key.badge, key.accessClass}]++;
    index.emplace(std::move(key), &r);
  }
  return index;
}

std::string Quoted(std::string_view cp1252) {
  const std::size_t last = cp1252.find_last_not_of(' ');
  return "\"" + ShowText(last == cp1252.npos ? "" : cp1252.substr(0, last + 1)) + "\"";
}

std::string KindName(RecordChange::Kind kind) {
  switch (kind) {
    case RecordChange::Kind::kAdded:
      return "added";
    case RecordChange::Kind::kRemoved:
      return "removed";
    case RecordChange::Kind::kChanged:
      break;
  }
  return "changed";
}

std::string ClassText(const RecordChange& c) {
  std::string text = c.accessClass.empty() ? "-" : ShowText(c.accessClass);
  if (c.occurrence > 0) text += " #" + std::to_string(c.occurrence + 1);
  return text;
}

}  // namespace

Comparison Compare(const Layout& layout, const std::vector<Record>& oldRecords,
                   const std::vector<Record>& newRecords) {
  const auto before = Index(layout, oldRecords);
  const auto after = Index(layout, newRecords);
  Comparison result;
  std::set<std::string, BadgeOrder> oldBadges, newBadges, changedBadges;
  for (const auto& [key, r] : before) oldBadges.insert(key.badge);
  for (const auto& [key, r] : after) newBadges.insert(key.badge);

  auto add = [&](RecordChange::Kind kind, const Key& key) -> RecordChange& {
    changedBadges.insert(key.badge);
    return result.changes.emplace_back(
        RecordChange{kind, key.badge, key.accessClass, key.occurrence, {}});
  };
  auto o = before.begin();
  auto n = after.begin();
  while (o != before.end() || n != after.end()) {
    if (n == after.end() || (o != before.end() && o->first < n->first)) {
      add(RecordChange::Kind::kRemoved, o->first);
      ++o;
    } else if (o == before.end() || n->first < o->first) {
      add(RecordChange::Kind::kAdded, n->first);
      ++n;
    } else {
      std::vector<FieldChange> fields;
      for (std::size_t i = 0; i < layout.fields.size(); ++i)
        if (o->second->values[i] != n->second->values[i])
          fields.push_back(
              {std::string(layout.fields[i].name), o->second->values[i], n->second->values[i]});
      if (!fields.empty()) add(RecordChange::Kind::kChanged, n->first).fields = std::move(fields);
      ++o;
      ++n;
    }
  }
  for (const std::string& badge : changedBadges) {
    const bool inOld = oldBadges.count(badge) > 0, inNew = newBadges.count(badge) > 0;
    if (inOld && inNew)
      ++result.badgesChanged;
    else if (inNew)
      ++result.badgesAdded;
    else
      ++result.badgesRemoved;
  }
  for (const std::string& badge : newBadges)
    if (oldBadges.count(badge) > 0 && changedBadges.count(badge) == 0) ++result.badgesUnchanged;
  return result;
}

std::string RenderComparison(const Layout& layout, const Comparison& comparison) {
  const bool classes = HasClass(layout);
  std::vector<std::vector<std::string>> lines;
  for (const RecordChange& c : comparison.changes) {
    std::vector<std::string> line{KindName(c.kind), ShowText(c.badge)};
    if (classes) line.push_back("class " + ClassText(c));
    std::string details;
    for (const FieldChange& f : c.fields) {
      if (!details.empty()) details += ", ";
      details += f.field + " " + Quoted(f.oldValue) + " -> " + Quoted(f.newValue);
    }
    line.push_back(std::move(details));
    lines.push_back(std::move(line));
  }
  return AlignColumns(lines, false) + "badges: " + std::to_string(comparison.badgesAdded) +
         " added, " + std::to_string(comparison.badgesRemoved) + " removed, " +
         std::to_string(comparison.badgesChanged) + " changed, " +
         std::to_string(comparison.badgesUnchanged) + " unchanged\n";
}

std::string RenderComparisonCsv(const Comparison& comparison) {
  std::string out = CsvLine({"change", "badge", "class", "field", "old", "new"});
  for (const RecordChange& c : comparison.changes) {
    std::string accessClass = ShowText(c.accessClass);
    if (c.occurrence > 0) accessClass += " #" + std::to_string(c.occurrence + 1);
    if (c.fields.empty())
      out += CsvLine({KindName(c.kind), ShowText(c.badge), accessClass, "", "", ""});
    for (const FieldChange& f : c.fields)
      out += CsvLine({KindName(c.kind), ShowText(c.badge), accessClass, f.field,
                      ShowText(Trim(f.oldValue)), ShowText(Trim(f.newValue))});
  }
  return out;
}

}  // namespace zibrolt::show
