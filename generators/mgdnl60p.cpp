// Generator of the MGDNL60P download file: terminals with up to three readers read 45-character
// records back to back, one per badge and access class (or one time-only record), each with
// the badge's balance value 9 and the class on every reader the terminal has.
#include <string>
#include <string_view>
#include <vector>

#include "data/badges.hpp"
#include "data/checks.hpp"
#include "generators/balance.hpp"
#include "generators/generators.hpp"
#include "generators/record.hpp"

namespace zibrolt {
namespace {

constexpr std::size_t kRecordLength = 45;
constexpr std::size_t kBadgePos = 0;        // 13: badge number, blank-padded
constexpr std::size_t kValidFromPos = 13;   // 8: "yyyymmdd", "00000000" without a date
constexpr std::size_t kTimeFlagPos = 21;    // 1: "1" time authorisation on the terminal
constexpr std::size_t kAccessFlagPos = 22;  // 1: "1" access classes on the terminal
constexpr std::size_t kBalancePos = 23;     // 7: balance value 9, blanks without one
constexpr std::size_t kReaderPos = 30;      // three slots of 5: reader number (2), class (3)
constexpr std::size_t kReaderWidth = 5;
constexpr int kHighestReader = 3;
constexpr int kBalanceValue = 9;
constexpr std::string_view kNoBalance = "       ";

// What one badge's records are made of, gathered by the checks.
struct BadgeAuthorisations {
  bool time = false;                      // holds a time authorisation on the terminal
  std::vector<std::string_view> classes;  // access classes that fit the record, highest first
};

// The badge's records: one per access class, or one time-only record when it has none.
// readers is the row's reader table; slots 1 to 3 are two blanks where the terminal has no
// such reader.
std::vector<std::string> BuildMgDnl60PRecords(const BadgeRow& row, std::string_view balance,
                                              const BadgeAuthorisations& auth) {
  FixedRecord record(kRecordLength);
  record.Put(kBadgePos, row.AswNum);
  record.PutDate(kValidFromPos, std::string_view(row.AswGvo).substr(0, 8));
  record.Put(kTimeFlagPos, auth.time ? "1" : "0");
  record.Put(kAccessFlagPos, auth.classes.empty() ? "0" : "1");
  record.Put(kBalancePos, balance.substr(0, kNoBalance.size()));

  std::vector<std::string> records;
  if (auth.classes.empty()) {
    records.emplace_back(record.bytes());  // time only: all reader slots stay blank
    return records;
  }
  for (std::string_view accessClass : auth.classes) {
    for (int n = 1; n <= kHighestReader; ++n) {
      const ReaderSlot& slot = row.readers[n];
      if (slot == kNoReader) continue;
      const std::size_t pos = kReaderPos + kReaderWidth * (n - 1);
      record.Put(pos, std::string_view(slot.data(), slot.size()));
      record.Put(pos + 2, accessClass.substr(0, kRecordClassWidth));
    }
    records.emplace_back(record.bytes());
  }
  return records;
}

}  // namespace

int WorkMgDnl60P(RunContext& run, std::string_view, const TerminalRecord& terminal) {
  BadgeCursor cursor(run.db);
  Authorisations checks(run, terminal, &cursor);
  BalanceLookup balances(run.db, &cursor, BalanceSelection::Value(kBalanceValue));
  BadgeRow row;
  int read = 0;
  int written = 0;
  int checkStatus = 0;  // negative when a check could not be answered

  cursor.OpenBadgeCursor(terminal);  // a failed open shows at the first fetch
  int status;
  while ((status = cursor.FetchBadge(row)) == sqlhlp::kOk) {
    // Every row counts, also a second one of the same badge number: each is written.
    ++read;
    if (BadgeNumberFits(run, row.AswNum)) {
      for (int n = 1; n <= kHighestReader; ++n) row.readers[n] = kNoReader;

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
        // The balance shows only in records and is never reported, so it is read only for a
        // badge that gets records.
        const int balanceStatus = balances.LookupBalanceData(row);
        const std::string_view balance = balanceStatus == sqlhlp::kOk
                                             ? std::string_view(row.balance.value[kBalanceValue])
                                             : kNoBalance;
        // A badge whose classes were all left out still gets its time-only record.
        for (const std::string& record : BuildMgDnl60PRecords(row, balance, auth))
          run.file.Write(record);
        ++written;
      } else if (checks.list().count() == 0 && run.verbose) {
        Say(run, "Ausweis %s ohne Zeit-/Zutrittsberechtigung auf Terminal %s\n", row.AswNum.c_str(),
            terminal.name.c_str());
      }
    }
    row.Clear();
  }
  cursor.CloseBadgeCursor();
  Say(run, "Ausweise gesamt: %d davon in Datei gestellt: %d\n", read, written);
  return checkStatus == 0 && status == sqlhlp::kNoRow ? 1 : 0;
}

}  // namespace zibrolt
