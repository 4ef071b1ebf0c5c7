// Both files are read once into an index of keys; the comparison then walks the two indexes
// side by side, once to measure the columns and once to write the lines.
#include "tools/show/diff.hpp"

#include "tools/show/render.hpp"

namespace zibrolt::show {
namespace {

using Item = IndexedChange;
using Kind = ChangeKind;

std::string Quoted(std::string_view cp1252) {
  const std::size_t last = cp1252.find_last_not_of(' ');
  return "\"" + ShowText(last == cp1252.npos ? "" : cp1252.substr(0, last + 1)) + "\"";
}

}  // namespace

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
    std::vector<std::string> cells{ChangeKindName(it.kind), ShowText(badgeOf(it))};
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
    WalkChanges(
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
  WalkChanges(
      before.index, after.index, [&](const Item& it) { columns.Measure(cellsOf(it)); },
      [&](bool inOld, bool inNew, bool anyChange) {
        if (inOld && inNew)
          ++(anyChange ? changed : unchanged);
        else
          ++(inNew ? added : removed);
      });
  WalkChanges(
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
