// Does a badge hold a time authorisation on the terminal, and which access classes (and through
// which of the terminal's readers) does it hold there?
#pragma once
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/badge_row.hpp"
#include "data/badges.hpp"
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

// The checks of one run, for its one terminal. A terminal's classes and readers do not change
// while the run reads its one consistent view of the database, so they are read once; the
// badges' classes are read for a window of the badge list at a time (list is the badge cursor
// the generator walks; without one, badge by badge), and both checks answer from them. This
// gives the answers of the per-badge count and class statements at a small part of their
// round trips.
class Authorisations {
 public:
  Authorisations(const RunContext& run, const TerminalRecord& terminal,
                 const BadgeCursor* list = nullptr)
      : run_(run), terminal_(terminal), badgeList_(list) {}

  // 1 when the badge holds at least one time class of the terminal, else 0. When the classes
  // cannot be read, the (negative) database status: a badge whose rights cannot be read must
  // not be sent as a badge without rights. With "/d" prints "Aws: ... Zeitberechtigung: ...".
  int HasTimeAuthorisation(std::string_view badge);

  // Refills the list with the badge's access classes on the terminal, highest first, and, when
  // withReaders is set, writes the terminal's reader numbers 0 to highestReader into the row's
  // reader table. Returns 1 when the list holds a class, 0 when not; negative when the classes
  // or readers could not be read (the database status) or the list cannot grow
  // (kAccessListFailed).
  int CollectAccessClasses(BadgeRow& row, int highestReader, bool withReaders);

  // Both checks for the badge in row, in the order the files have always asked them: the time
  // authorisation, then the access classes (and readers). time gets 1 or 0; the result is that
  // of CollectAccessClasses. When either cannot be answered, the failure line is printed and
  // the negative status returned: the generator then stops.
  int CheckBadge(BadgeRow& row, int highestReader, bool withReaders, int& time);

  const AccessClassList& list() const { return list_; }

 private:
  int LoadTerminalClasses();
  int LoadBadgeClasses(std::string_view badge);
  int LoadReaders(int highestReader);

  const RunContext& run_;
  const TerminalRecord& terminal_;
  AccessClassList list_;
  bool terminalLoaded_ = false;
  std::vector<std::string> timeClasses_;    // the terminal's time classes
  std::vector<std::string> accessClasses_;  // its access classes, distinct, highest first
  const BadgeCursor* badgeList_;            // where the badges ahead come from, or none
  struct BadgeClasses {
    std::string badge;                 // badge number
    std::vector<std::string> classes;  // its classes
  };
  std::vector<BadgeClasses> batch_;   // the badges of the last lookup, the one asked for first
  std::size_t batchSize_ = 0;         // entries of batch_ that hold answers
  std::vector<std::string> numbers_;  // badge numbers of the last lookup
  const std::vector<std::string>* badgeClasses_ = nullptr;  // those of the current badge
  std::optional<int> readersFor_;  // the highest reader number readers_ was read for
  std::vector<int> readers_;       // the terminal's reader numbers up to it
};

// A check that could not be answered stops the run: the file would otherwise lack the badge's
// rights. Prints the line naming the badge and the status (a list that could not grow has
// printed its own message already).
void ReportCheckFailure(const RunContext& run, std::string_view badge, int status);

}  // namespace zibrolt
