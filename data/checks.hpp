// Does a badge hold a time authorisation on the terminal, and which access classes (and through
// which of the terminal's readers) does it hold there?
#pragma once
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/badge_row.hpp"
#include "data/terminal.hpp"
#include "frame/run_context.hpp"

namespace zibrolt {

// The access classes of the current badge on the terminal, highest first, each "%-3s".
class AccessClassList {
 public:
  // False (with the message printed) when the list cannot grow; the run must then stop.
  bool AppendAccessClass(const RunContext& run, std::string_view entry);
  void Clear() { entries_.clear(); }
  int count() const { return static_cast<int>(entries_.size()); }
  const std::vector<std::string>& entries() const { return entries_; }

 private:
  std::vector<std::string> entries_;
};

// CollectAccessClasses answers this when the list could not grow: the run must stop.
inline constexpr int kAccessListFailed = INT_MIN;

// Status of the count statement; on 0 the count of the badge's time classes is stored.
int CountTimeClasses(sqlhlp::Connection& db, std::string_view badge, std::string_view terminal,
                     std::int32_t& count);

// 1 when the badge holds at least one time authorisation on the terminal, else 0. When the count
// fails, its (negative) status: a badge whose rights cannot be read must not be sent as a badge
// without rights. With "/d" prints "Aws: ... Zeitberechtigung: ...".
int HasTimeAuthorisation(const RunContext& run, std::string_view badge,
                         const TerminalRecord& terminal);

// Refills list with the badge's access classes on the terminal and, when withReaders is set,
// writes the terminal's reader numbers 0 to highestReader into the row's reader table.
// Returns 1 when the list holds a class, 0 when not; negative when the classes or readers could
// not be read (the database status) or the list cannot grow (kAccessListFailed).
int CollectAccessClasses(const RunContext& run, AccessClassList& list, BadgeRow& row,
                         const TerminalRecord& terminal, int highestReader, bool withReaders);

// A check that could not be answered stops the run: the file would otherwise lack the badge's
// rights. Prints the line naming the badge and the status (a list that could not grow has
// printed its own message already).
void ReportCheckFailure(const RunContext& run, std::string_view badge, int status);

}  // namespace zibrolt
