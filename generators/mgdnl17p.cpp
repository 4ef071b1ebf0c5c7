// Generator of the MGDNL17P download file: terminals read 85-character records back to back,
// one per badge and access class (or one time-only record), each with balance value 2 and
// eleven reader fields; readers 1 to 6 carry the class, field 7 the badge's location.
#include <string>
#include <string_view>
#include <vector>

#include "data/badges.hpp"
#include "data/checks.hpp"
#include "data/location.hpp"
#include "generators/balance.hpp"
#include "generators/generators.hpp"
#include "generators/record.hpp"

namespace zibrolt {
namespace {

constexpr std::size_t kRecordLength = 85;
constexpr std::size_t kBadgePos = 0;        // 13: badge number, blank-padded
constexpr std::size_t kValidFromPos = 13;   // 8: "yyyymmdd", "00000000" without a date
constexpr std::size_t kTimeFlagPos = 21;    // 1: "1" time authorisation on the terminal
constexpr std::size_t kAccessFlagPos = 22;  // 1: "1" access classes on the terminal
constexpr std::size_t kBalancePos = 23;     // 7: balance value 2, blanks without one
constexpr std::size_t kReaderPos = 30;      // eleven fields of 5: reader number (2), text (3)
constexpr std::size_t kReaderWidth = 5;
constexpr int kHighestReader = 11;
constexpr int kHighestClassReader = 6;  // readers 7 to 11 carry their number only
constexpr int kLocationReader = 7;      // field 7 shows the badge's location text
constexpr int kBalanceValue = 2;
constexpr std::string_view kNoBalance = "       ";

// What one badge's records are made of, gathered by the checks and lookups.
struct BadgeAuthorisations {
  bool time = false;                      // holds a time authorisation on the terminal
  std::vector<std::string_view> classes;  // access classes that fit the record, highest first
  bool hasLocation = false;               // a location row was found
  std::string_view location;              // its first 3 characters (may be fewer)
};

constexpr std::size_t FieldPos(int reader) { return kReaderPos + kReaderWidth * (reader - 1); }

// The badge's records: one per access class, or one time-only record when it has none.
// row.readers slots 1 to 11 are two blanks where the terminal has no such reader.
std::vector<std::string> BuildMgDnl17PRecords(const BadgeRow& row, std::string_view balance,
                                              const BadgeAuthorisations& auth) {
  FixedRecord record(kRecordLength);
  record.Put(kBadgePos, row.AswNum);
  record.PutDate(kValidFromPos, std::string_view(row.AswGvo).substr(0, 8));
  record.Put(kTimeFlagPos, auth.time ? "1" : "0");
  record.Put(kAccessFlagPos, auth.classes.empty() ? "0" : "1");
  record.Put(kBalancePos, balance.substr(0, kNoBalance.size()));
  // Reader numbers show only for a badge that may pass them.
  if (!auth.classes.empty()) {
    for (int k = 1; k <= kHighestReader; ++k) {
      const ReaderSlot& slot = row.readers[k];
      if (slot != kNoReader) record.Put(FieldPos(k), std::string_view(slot.data(), slot.size()));
    }
  }
  if (auth.hasLocation) {
    record.Put(FieldPos(kLocationReader), "07");
    record.Put(FieldPos(kLocationReader) + 2, auth.location.substr(0, 3));
  }

  std::vector<std::string> records;
  if (auth.classes.empty()) {
    records.emplace_back(record.bytes());
    return records;
  }
  for (std::string_view accessClass : auth.classes) {
    for (int k = 1; k <= kHighestClassReader; ++k)
      if (row.readers[k] != kNoReader)
        record.Put(FieldPos(k) + 2, accessClass.substr(0, kRecordClassWidth));
    records.emplace_back(record.bytes());
  }
  return records;
}

}  // namespace

int WorkMgDnl17P(RunContext& run, std::string_view, const TerminalRecord& terminal) {
  BadgeCursor cursor(run.db);
  Authorisations checks(run, terminal, &cursor);
  BalanceLookup balances(run.db, &cursor, BalanceSelection::Value(kBalanceValue));
  LocationLookup locations(run.db, &cursor);
  BadgeRow row;
  std::string previous;  // badge number of the row before; later rows of a badge are passed over
  int seen = 0;
  int written = 0;
  int checkStatus = 0;  // negative when a check could not be answered

  cursor.OpenBadgeCursor(terminal);  // a failed open shows at the first fetch
  int status;
  while ((status = cursor.FetchBadge(row)) == sqlhlp::kOk) {
    if (row.AswNum != previous) {
      ++seen;
      if (BadgeNumberFits(run, row.AswNum)) {
        for (int k = 1; k <= kHighestReader; ++k) row.readers[k] = kNoReader;

        // With "/d" the balance is read and reported before the checks, where its line has
        // always come; otherwise it is read only for a badge that gets records.
        std::string_view balance = kNoBalance;
        bool balanceRead = false;
        auto readBalance = [&] {
          const int balanceStatus = balances.LookupBalanceData(row);
          if (balanceStatus != sqlhlp::kOk && run.verbose)
            Say(run, "Saldo Ermitteln. Pnr: %s SQLCode:%ld\n", row.AswPnr.c_str(),
                static_cast<long>(balanceStatus));
          if (balanceStatus == sqlhlp::kOk) balance = row.balance.value[kBalanceValue];
          balanceRead = true;
        };
        if (run.verbose) readBalance();

        BadgeAuthorisations auth;
        int time = 0;
        const int access = checks.CheckBadge(row, kHighestReader, true, time);
        if (access < 0) {
          checkStatus = access;
          break;
        }
        auth.time = time == 1;
        auth.classes = FittingClasses(run, row.AswNum, checks.list().entries());

        if (auth.time || !auth.classes.empty()) {
          if (!balanceRead) readBalance();
          const int locationStatus = locations.FetchLocationText(row);
          if (locationStatus == sqlhlp::kOk) {
            auth.hasLocation = true;
            auth.location = row.location;
          } else if (locationStatus != sqlhlp::kNoRow) {
            Say(run, "SQL Standortbez. Ermitteln. SQLCode:%ld\n",
                static_cast<long>(locationStatus));
          }
          // A badge whose classes were all left out still gets its time-only record.
          for (const std::string& record : BuildMgDnl17PRecords(row, balance, auth))
            run.file.Write(record);
          ++written;
        } else if (checks.list().count() == 0 && run.verbose) {
          Say(run, "Ausweis %s ohne Zeit-/Zutrittsberechtigung auf Terminal %s\n",
              row.AswNum.c_str(), terminal.name.c_str());
        }
      }
    }
    previous = row.AswNum;
    row.Clear();
  }
  cursor.CloseBadgeCursor();
  Say(run, "Ausweise gesamt: %d davon in Datei gestellt: %d\n", seen, written);
  if (checkStatus == 0 && status == sqlhlp::kNoRow) return 1;
  // A list that could not grow has no database status to report.
  if (checkStatus != kAccessListFailed)
    Say(run, "FehlerCode EndWorkMgDnl17P: %d\n", checkStatus != 0 ? checkStatus : status);
  return 0;
}

}  // namespace zibrolt
