// Does a badge hold a time authorisation on the terminal, and which access classes (and through
// which of the terminal's readers) does it hold there?
#pragma once
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
inline constexpr int kAccessListFailed = -1;

// Status of the count statement; on 0 the count of the badge's time classes is stored.
int CountTimeClasses(sqlhlp::Connection& db, std::string_view badge, std::string_view terminal,
                     std::int32_t& count);

// 1 when the badge holds at least one time authorisation on the terminal, else 0 (also when
// the count fails). With "/d" prints "Aws: ... Zeitberechtigung: ...".
int HasTimeAuthorisation(const RunContext& run, std::string_view badge,
                         const TerminalRecord& terminal);

// Refills list with the badge's access classes on the terminal and, when withReaders is set,
// writes the terminal's reader numbers 0 to highestReader into the row's reader table.
// Returns 1 when the list holds a class, 0 when not, kAccessListFailed when it cannot grow.
int CollectAccessClasses(const RunContext& run, AccessClassList& list, BadgeRow& row,
                         const TerminalRecord& terminal, int highestReader, bool withReaders);

}  // namespace zibrolt
