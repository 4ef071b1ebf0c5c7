// Generator of the MGDNL31P download file: which badges have access at the terminal. One
// 48-character record per badge and access class; terminals read the records back to back,
// so a record never carries a line end.
#include <string>
#include <string_view>

#include "data/badges.hpp"
#include "data/checks.hpp"
#include "data/location.hpp"
#include "generators/generators.hpp"
#include "generators/record.hpp"

namespace zibrolt {
namespace {

constexpr std::size_t kRecordLength = 48;

// Classes are collected without readers; the number is then not used.
constexpr int kHighestReader = 32;

// Record positions.
constexpr std::size_t kBadgePos = 0;        // 13: badge number, blank-padded
constexpr std::size_t kValidFromPos = 13;   // 8: "yyyymmdd", "00000000" for none
constexpr std::size_t kValidToPos = 21;     // 8: as kValidFromPos
constexpr std::size_t kTimeFlagPos = 29;    // 1: "1" with a time authorisation
constexpr std::size_t kAccessFlagPos = 30;  // 1: always "1" in a written record
constexpr std::size_t kConstantPos = 31;    // 8: "XXXX,XX-"
constexpr std::size_t kCodePos = 39;        // 3: "001"
constexpr std::size_t kClassPos = 42;       // 3: the record's access class
constexpr std::size_t kLocationPos = 45;    // 3: location text, blank-padded

// The record of one badge and one of its access classes. Every value is cut to its field, so
// nothing from the database can move another field or change the record's length.
std::string BuildMgDnl31PRecord(const BadgeRow& row, bool timeAuthorised,
                                std::string_view accessClass) {
  FixedRecord record(kRecordLength);
  record.Put(kBadgePos, std::string_view(row.AswNum).substr(0, kRecordBadgeWidth));
  record.PutDate(kValidFromPos, std::string_view(row.AswGvo).substr(0, 8));
  record.PutDate(kValidToPos, std::string_view(row.AswGbi).substr(0, 8));
  record.Put(kTimeFlagPos, timeAuthorised ? "1" : "0");
  record.Put(kAccessFlagPos, "1");
  record.Put(kConstantPos, "XXXX,XX-");
  record.Put(kCodePos, "001");
  record.Put(kClassPos, accessClass.substr(0, kRecordClassWidth));
  record.Put(kLocationPos, std::string_view(row.location).substr(0, 3));
  return std::string(record.bytes());
}

}  // namespace

int WorkMgDnl31P(RunContext& run, std::string_view, const TerminalRecord& terminal) {
  BadgeRow row;
  BadgeCursor cursor(run.db);
  Authorisations checks(run, terminal, &cursor);
  LocationLookup locations(run.db, &cursor);
  int read = 0;
  int written = 0;

  int status = cursor.OpenBadgeCursor(terminal);
  if (status != sqlhlp::kOk) Say(run, "Ausweiscursor oeffnen: RC: %ld \n", long{status});

  status = cursor.FetchBadge(row);
  if (status != sqlhlp::kOk) Say(run, "Ausweiscursor lesen: RC: %ld \n", long{status});
  while (status == sqlhlp::kOk) {
    ++read;
    int time = 0;
    const int access = checks.CheckBadge(row, kHighestReader, false, time);
    if (access < 0) {
      status = access;
      break;
    }
    const bool timeAuthorised = time == 1;
    if (access == 0) {
      if (run.verbose)
        Say(run, "Ausweis %s ohne Zutrittsberechtigung auf Terminal %s\n", row.AswNum.c_str(),
            terminal.name.c_str());
    } else if (BadgeNumberFits(run, row.AswNum)) {
      locations.FetchLocationText(row);  // no location: blanks
      const std::vector<std::string_view> fitting =
          FittingClasses(run, row.AswNum, checks.list().entries());
      for (std::string_view entry : fitting)
        run.file.Write(BuildMgDnl31PRecord(row, timeAuthorised, entry));
      if (!fitting.empty()) ++written;
    }
    row.Clear();
    status = cursor.FetchBadge(row);
    if (status != sqlhlp::kOk)
      Say(run, "Ausweiscursor lesen: Ausweis Nr. %ld RC: %ld \n", long{read}, long{status});
  }

  cursor.CloseBadgeCursor();
  Say(run, "Ausweise gesamt: %d davon in Datei gestellt: %d\n", read, written);
  return status == sqlhlp::kNoRow ? 1 : 0;
}

}  // namespace zibrolt
