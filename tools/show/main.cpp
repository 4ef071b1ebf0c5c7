// zibrolt-show: shows a download file record by record with its fields named, checks that it
// is sound, and compares two files of the same function, so that an operator can see what a
// terminal is about to receive before the file goes out.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "formats/layout.hpp"
#include "formats/records.hpp"
#include "frame/version.hpp"
#include "generators/registry.hpp"
#include "platform/streams.hpp"
#include "tools/show/diff.hpp"
#include "tools/show/render.hpp"
#include "tools/show/validate.hpp"

namespace {

using namespace zibrolt;
using namespace zibrolt::show;
using zibrolt::FindLayout;
using zibrolt::Layout;

constexpr int kSound = 0;
constexpr int kFindings = 1;
constexpr int kTrouble = 2;  // usage error, or a file that cannot be read

void Usage(std::FILE* to) {
  std::fprintf(to,
               "Usage: zibrolt-show [--csv] [--check | --no-check] FUNCTION FILE\n"
               "       zibrolt-show --diff [--csv] [--no-check] FUNCTION OLD NEW\n"
               "       zibrolt-show --help | --version\n"
               "\n"
               "Shows a download file one record per line with the fields of its layout named,\n"
               "and checks that the file is sound. FUNCTION is IDSTAMM, MGDNL17P, MGDNL18P,\n"
               "MGDNL31P or MGDNL60P. The files are Windows-1252; the output is UTF-8.\n"
               "\n"
               "  --csv       comma-separated values for a spreadsheet instead of a table\n"
               "  --check     check the file only, show no records\n"
               "  --no-check  show the records without checking the file\n"
               "  --diff      show the records added, removed and changed from OLD to NEW,\n"
               "              keyed by badge number and access class; records repeating\n"
               "              a key pair identical ones first, the rest in file order\n"
               "  --help      show this help and exit\n"
               "  --version   show the version and exit\n"
               "\n"
               "The check looks at record lengths, dates, flags, reader numbers, constants and,\n"
               "for IDSTAMM, the 14 quoted fields, quotes inside values and the CR LF of every\n"
               "line. It writes the first 100 findings to standard error with the record number\n"
               "and the byte offset in the file, then how many more there are and one line\n"
               "saying whether the file is sound.\n"
               "\n"
               "Exit status: 0 sound (with --diff: both files), 1 not sound, 2 usage error or a\n"
               "file that cannot be read.\n");
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "zibrolt-show: %s\nTry 'zibrolt-show --help' for more information.\n",
               message.c_str());
  return kTrouble;
}

// An open download file. The table and the comparison read records a second time, which a
// pipe cannot give: its bytes go to an anonymous temporary file first.
class Input {
 public:
  Input() = default;
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  ~Input() {
    if (file_) std::fclose(file_);
  }

  bool Open(const std::string& path, bool rereads) {
    path_ = path;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
      std::fprintf(stderr, "zibrolt-show: cannot open %s: %s\n", path.c_str(),
                   std::strerror(errno));
      return false;
    }
    struct stat about;
    if (!rereads || (fstat(fileno(file_), &about) == 0 && S_ISREG(about.st_mode))) return true;
    std::FILE* copy = zibrolt::platform::OpenScratchStream();
    if (!copy) return Failed(errno);
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
      if (std::fwrite(buffer, 1, n, copy) != n) break;
    const int error = std::ferror(file_) || std::ferror(copy) ? (errno ? errno : EIO) : 0;
    std::fclose(file_);
    file_ = copy;
    if (error != 0) return Failed(error);
    return Rewind();
  }

  bool Rewind() { return fseeko(file_, 0, SEEK_SET) == 0 || Failed(errno); }

  bool Failed(int error) const {
    std::fprintf(stderr, "zibrolt-show: cannot read %s: %s\n", path_.c_str(), std::strerror(error));
    return false;
  }

  // How many records the file holds at most, for an index that takes exactly that much room;
  // IDSTAMM needs a pass counting line feeds. Leaves the file at its start.
  std::uint64_t RecordsAtMost(const Layout& layout) {
    std::uint64_t count = 0;
    struct stat about;
    if (!layout.Lines()) {
      if (fstat(fileno(file_), &about) == 0 && about.st_size > 0)
        count = (static_cast<std::uint64_t>(about.st_size) + layout.recordLength - 1) /
                static_cast<std::uint64_t>(layout.recordLength);
      return count;
    }
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
      for (const char* at = buffer;
           (at = static_cast<const char*>(std::memchr(at, '\n', buffer + n - at))) != nullptr; ++at)
        ++count;
    std::clearerr(file_);
    fseeko(file_, 0, SEEK_SET);
    return count + 1;
  }

  std::FILE* file() const { return file_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
};

struct Scanned {
  std::size_t records = 0;
  Findings findings;
};

// Reads every record of the file from where it stands, checks it when asked and hands it to
// each; false when the file cannot be read.
template <class Each>
bool Scan(const Layout& layout, Input& input, bool check, Scanned& scanned, Each each) {
  RecordReader reader(layout, input.file());
  Record r;
  scanned.records = 0;
  while (reader.Next(r)) {
    ++scanned.records;
    if (check) Check(layout, r, scanned.findings);
    each(r);
  }
  return reader.error() == 0 || input.Failed(reader.error());
}

void Put(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// The findings and the verdict come after the records, where an operator at a terminal sees
// them last; on standard error, so that CSV on standard output stays clean.
void Report(const Layout& layout, const std::string& path, const Scanned& scanned) {
  const char* unit = layout.Lines() ? "line" : "record";
  for (const Finding& f : scanned.findings.shown)
    std::fprintf(stderr, "%s: %s %zu, byte %llu: %s\n", path.c_str(), unit, f.record,
                 static_cast<unsigned long long>(f.offset), f.message.c_str());
  const std::uint64_t found = scanned.findings.count;
  const std::uint64_t rest = found - scanned.findings.shown.size();
  if (rest > 0)
    std::fprintf(stderr, "%s: %llu more %s not shown\n", path.c_str(),
                 static_cast<unsigned long long>(rest), rest == 1 ? "finding" : "findings");
  const std::size_t count = scanned.records;
  std::string summary = std::to_string(count) + " " + unit + (count == 1 ? "" : "s") + " of " +
                        std::string(layout.function);
  if (found == 0)
    summary += ", sound";
  else
    summary += ", " + std::to_string(found) + (found == 1 ? " finding" : " findings");
  std::fprintf(stderr, "%s: %s\n", path.c_str(), summary.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  bool csv = false, checkOnly = false, noCheck = false, diff = false;
  std::vector<std::string> operands;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      Usage(stdout);
      return kSound;
    } else if (options && arg == "--version") {
      std::printf("%s\n", zibrolt::VersionLine("zibrolt-show").c_str());
      return kSound;
    } else if (options && arg == "--csv") {
      csv = true;
    } else if (options && arg == "--check") {
      checkOnly = true;
    } else if (options && arg == "--no-check") {
      noCheck = true;
    } else if (options && arg == "--diff") {
      diff = true;
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option " + std::string(arg));
    } else {
      operands.emplace_back(arg);
    }
  }
  if (checkOnly && (noCheck || diff || csv))
    return UsageError("--check goes with none of --no-check, --diff and --csv");
  const std::size_t wanted = diff ? 3 : 2;
  if (operands.size() != wanted)
    return UsageError(diff ? "--diff needs FUNCTION OLD NEW" : "FUNCTION and FILE are needed");
  const Layout* layout = FindLayout(operands[0]);
  if (!layout)
    return UsageError("unknown download function " + operands[0] +
                      " (IDSTAMM, MGDNL17P, MGDNL18P, MGDNL31P or MGDNL60P)");

  const bool check = !noCheck;
  const bool table = !csv && !checkOnly && !diff;
  std::vector<Input> inputs(diff ? 2 : 1);
  std::vector<Scanned> scanned(inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i)
    if (!inputs[i].Open(operands[1 + i], diff || table)) return kTrouble;

  static char outBuffer[1 << 16];
  std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
  std::vector<std::string> cells;
  if (diff) {
    std::vector<KeyIndex> indexes;
    indexes.reserve(inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      KeyIndex& index = indexes.emplace_back(*layout);
      index.Reserve(inputs[i].RecordsAtMost(*layout));
      if (!Scan(*layout, inputs[i], check, scanned[i], [&](const Record& r) { index.Add(r); }))
        return kTrouble;
      index.Sort();
    }
    std::string failedPath;
    if (!WriteComparison(*layout, {indexes[0], inputs[0].file(), inputs[0].path()},
                         {indexes[1], inputs[1].file(), inputs[1].path()}, csv, stdout,
                         failedPath)) {
      std::fflush(stdout);
      std::fprintf(stderr, "zibrolt-show: cannot read %s again\n", failedPath.c_str());
      return kTrouble;
    }
  } else if (checkOnly) {
    if (!Scan(*layout, inputs[0], check, scanned[0], [](const Record&) {})) return kTrouble;
  } else if (csv) {
    Put(CsvLine(HeaderCells(*layout, Style::kCsv)));
    const bool read = Scan(*layout, inputs[0], check, scanned[0], [&](const Record& r) {
      RecordCells(*layout, r, Style::kCsv, cells);
      Put(CsvLine(cells));
    });
    if (!read) return kTrouble;
  } else {
    // The widths of the columns are known only after the last record.
    Columns columns;
    const std::vector<std::string> heading = HeaderCells(*layout, Style::kTable);
    columns.Measure(heading);
    if (!Scan(*layout, inputs[0], check, scanned[0], [&](const Record& r) {
          RecordCells(*layout, r, Style::kTable, cells);
          columns.Measure(cells);
        }))
      return kTrouble;
    Put(columns.Line(heading));
    Put(columns.Rule());
    Scanned again;
    if (!inputs[0].Rewind() || !Scan(*layout, inputs[0], false, again, [&](const Record& r) {
          RecordCells(*layout, r, Style::kTable, cells);
          Put(columns.Line(cells));
        }))
      return kTrouble;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "zibrolt-show: cannot write the output: %s\n", std::strerror(errno));
    return kTrouble;
  }
  bool sound = true;
  for (std::size_t i = 0; i < inputs.size() && check; ++i) {
    Report(*layout, inputs[i].path(), scanned[i]);
    if (scanned[i].findings.count > 0) sound = false;
  }
  return sound ? kSound : kFindings;
}
