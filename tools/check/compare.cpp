// The viewer's comparison writes UTF-8 for the screen; the preflight's lines are Windows-1252
// like all of zibrolt's, so the comparison's lines are converted back. A long comparison is cut
// to its first lines and its closing count of badges.
#include "tools/check/compare.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "formats/records.hpp"
#include "platform/streams.hpp"
#include "text/cp1252.hpp"
#include "tools/show/diff.hpp"

namespace zibrolt::check {
namespace {

constexpr std::size_t kShownLines = 30;

}  // namespace

void Compare(const Layout& layout, const std::string& current, const std::string& made,
             Report& report) {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  using File = std::unique_ptr<std::FILE, Closer>;
  const File before(std::fopen(current.c_str(), "rb"));
  if (!before) {
    report.Fail("Aktuelle Datei " + current + " nicht lesbar: " + std::strerror(errno));
    return;
  }
  const File after(std::fopen(made.c_str(), "rb"));
  const File out(platform::OpenScratchStream());
  KeyIndex oldIndex(layout), newIndex(layout);
  std::string failedPath;
  if (!after || !out || !IndexWhole(layout, before.get(), oldIndex) ||
      !IndexWhole(layout, after.get(), newIndex) ||
      !show::WriteComparison(layout, {oldIndex, before.get(), current},
                             {newIndex, after.get(), made}, false, out.get(), failedPath) ||
      std::fflush(out.get()) != 0) {
    report.Fail("Vergleich mit " + current + " nicht moeglich: Datei nicht lesbar");
    return;
  }
  std::vector<std::string> lines = ReadLines(out.get());
  std::string converted;
  for (std::string& line : lines) {
    converted.clear();
    Utf8ToCp1252(line, converted);
    line.swap(converted);
  }
  report.Ok("Vergleich der aktuellen Datei " + current + " mit dem Probelauf (" +
            std::to_string(lines.size()) + " Zeilen):");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == kShownLines && lines.size() > kShownLines + 1) {
      report.Detail("... " + std::to_string(lines.size() - kShownLines - 1) + " Zeilen mehr");
      i = lines.size() - 1;
    }
    report.Detail(lines[i]);
  }
}

}  // namespace zibrolt::check
