// zibrolt-show: shows a download file record by record with its fields named, checks that it
// is sound, and compares two files of the same function, so that an operator can see what a
// terminal is about to receive before the file goes out.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/show/diff.hpp"
#include "tools/show/layouts.hpp"
#include "tools/show/records.hpp"
#include "tools/show/render.hpp"
#include "tools/show/validate.hpp"
#include "zibrolt_version.hpp"

namespace {

using namespace zibrolt::show;

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
               "              keyed by badge number and access class\n"
               "  --help      show this help and exit\n"
               "  --version   show the version and exit\n"
               "\n"
               "The check looks at record lengths, dates, flags, reader numbers, constants and,\n"
               "for IDSTAMM, the 14 quoted fields and the CR LF of every line. It writes each\n"
               "finding to standard error with the record number and the byte offset in the\n"
               "file, then one line saying whether the file is sound.\n"
               "\n"
               "Exit status: 0 sound (with --diff: both files), 1 not sound, 2 usage error or a\n"
               "file that cannot be read.\n");
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "zibrolt-show: %s\nTry 'zibrolt-show --help' for more information.\n",
               message.c_str());
  return kTrouble;
}

std::optional<std::string> ReadWhole(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "zibrolt-show: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return std::nullopt;
  }
  std::string bytes;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  const bool failed = std::ferror(f) != 0;
  const int error = errno;
  std::fclose(f);
  if (failed) {
    std::fprintf(stderr, "zibrolt-show: cannot read %s: %s\n", path.c_str(), std::strerror(error));
    return std::nullopt;
  }
  return bytes;
}

struct LoadedFile {
  std::string path;
  std::vector<Record> records;
  std::vector<Finding> findings;
};

// Reads, splits and, when asked, checks a file; false when it cannot be read.
bool Load(const Layout& layout, const std::string& path, bool check, LoadedFile& file) {
  const auto bytes = ReadWhole(path);
  if (!bytes) return false;
  file.path = path;
  file.records = SplitRecords(layout, *bytes);
  if (check) file.findings = Validate(layout, file.records);
  return true;
}

// The findings and the verdict come after the records, where an operator at a terminal sees
// them last; on standard error, so that CSV on standard output stays clean.
void Report(const Layout& layout, const LoadedFile& file) {
  const char* unit = layout.Lines() ? "line" : "record";
  for (const Finding& f : file.findings)
    std::fprintf(stderr, "%s: %s %d, byte %zu: %s\n", file.path.c_str(), unit, f.record, f.offset,
                 f.message.c_str());
  const std::size_t count = file.records.size(), found = file.findings.size();
  std::string summary = std::to_string(count) + " " + unit + (count == 1 ? "" : "s") + " of " +
                        std::string(layout.function);
  if (found == 0)
    summary += ", sound";
  else
    summary += ", " + std::to_string(found) + (found == 1 ? " finding" : " findings");
  std::fprintf(stderr, "%s: %s\n", file.path.c_str(), summary.c_str());
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
      std::printf("zibrolt-show %s\n", zibrolt::kZibroltVersion);
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
  std::vector<LoadedFile> files(diff ? 2 : 1);
  for (std::size_t i = 0; i < files.size(); ++i)
    if (!Load(*layout, operands[1 + i], check, files[i])) return kTrouble;

  std::string out;
  if (diff) {
    const Comparison comparison = Compare(*layout, files[0].records, files[1].records);
    out = csv ? RenderComparisonCsv(comparison) : RenderComparison(*layout, comparison);
  } else if (!checkOnly) {
    out = csv ? RenderCsv(*layout, files[0].records) : RenderTable(*layout, files[0].records);
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "zibrolt-show: cannot write the output: %s\n", std::strerror(errno));
    return kTrouble;
  }
  bool sound = true;
  for (const LoadedFile& file : files) {
    if (!check) continue;
    Report(*layout, file);
    if (!file.findings.empty()) sound = false;
  }
  return sound ? kSound : kFindings;
}
