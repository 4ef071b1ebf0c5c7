// Does a badge hold a time authorisation on the terminal, and which access classes does it hold
// there? And which readers does the terminal have, for the files that place a class per reader?
#pragma once
#include <bitset>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/sqlhlp.hpp"
#include "data/badge_batch.hpp"
#include "data/badges.hpp"
#include "data/terminal.hpp"
#include "data/text_numbers.hpp"
#include "text/messages.hpp"

namespace zibrolt {

class PassLookups;

// The status when the access-class list could not grow (its own line is printed): the run must
// stop, and there is no database status to report.
inline constexpr int kAccessListFailed = INT_MIN;

// The classes of badges (Kvd301Awb), whatever the terminal, read for a window of the badge list
// at a time (list is the badge cursor the generator walks; without one, badge by badge).
class BadgeClassLookup {
 public:
  BadgeClassLookup(sqlhlp::Connection& db, const BadgeCursor* list);

  // A badge's classes, each as a number that stands for its text in this lookup's life: a site
  // run checks every badge at every terminal, and a terminal answers a number from a table of
  // its own instead of comparing text.
  using Classes = std::vector<std::size_t>;

  // 0 with classes pointing at the badge's classes (valid until a badge outside the last
  // window is asked for), or the status of the failed statement.
  int Load(const BadgeKey& badge, const Classes*& classes);

  // The number of a class read elsewhere (its text and exact form): the same number as the
  // badges' class that the database holds alike.
  std::size_t Number(std::string_view text, std::string_view exact) {
    return names_.Number(text, exact);
  }

 private:
  BadgeLookup badgeLookup_;     // the classes of a badge or of a window of badges
  std::vector<Classes> batch_;  // the classes of the last lookup's badges
  TextNumbers names_;           // the classes' numbers
};

// Whether this connection makes the join of the terminal's classes with the badges' here, in
// the program, and what the catalog showed: only where the database is proven to compare the
// two class columns byte for byte on the values it hands over. Asked once per connection.
const backend::JoinProof& ClassJoinInProgram(sqlhlp::Connection& db);

// What a badge may do at the terminal.
struct Rights {
  int status = sqlhlp::kOk;          // 0, or why the rights could not be read (line printed)
  bool time = false;                 // holds at least one time class of the terminal
  std::vector<std::string> classes;  // access classes, highest first, each "%-3s" of at most 5
};

// The checks of one run, for its one terminal. Which classes a badge holds there is the
// database's join of the terminal's classes with the badge's (M35Bkl=AWBBKL). Where the
// connection proves that the database compares those two columns byte for byte on the values
// it hands over (ClassJoinInProgram), the join is made here: a terminal's classes and readers
// do not change while the run reads its one consistent view of the database, so they are read
// once; the badges' classes are read for a window of the badge list at a time (list is the
// badge cursor the generator walks; without one, badge by badge), and both checks answer from
// them, matching the classes by their exact forms, never by their Windows-1252 bytes. This gives
// the answers of the per-badge count and class statements at a small part of their round trips.
// Where the proof cannot be had, those per-badge statements run, and the database joins.
class Authorisations {
 public:
  // highestReader: the highest reader number a file places classes for; readers are read only
  // when it is given.
  // shared: the lookups of the zibrolt-site pass walking list, or nullptr; given, the badges'
  // classes come from them.
  Authorisations(sqlhlp::Connection& db, const Messages& messages, const TerminalRecord& terminal,
                 const BadgeCursor* list = nullptr, PassLookups* shared = nullptr,
                 std::optional<int> highestReader = {});

  // The time check alone. With "/d" prints "Aws: ... Zeitberechtigung: ...". A badge whose
  // rights cannot be read must not be sent as a badge without rights: then the failure line is
  // printed and the status returned.
  Rights CheckTime(const BadgeKey& badge);

  // Both checks, in the order the files have always asked them: the time authorisation, then
  // the terminal's readers (first badge only) and the access classes. The result stays valid
  // until the next call.
  const Rights& CheckBadge(const BadgeKey& badge);

  // The terminal's readers (bit n: reader n, 0 to 11, up to highestReader, not withdrawn).
  // Known once CheckBadge has answered.
  const std::bitset<12>& readers() const { return readers_; }

 private:
  int LoadTerminalClasses();
  int LoadBadgeClasses(const BadgeKey& badge);
  int LoadReaders();
  int TimeAuthorisation(const BadgeKey& badge, bool& time);
  int CollectInDatabase(const BadgeKey& badge);  // the access-class statement of the badge
  int Fail(const BadgeKey& badge, int status);

  sqlhlp::Connection& db_;
  const Messages& messages_;
  const TerminalRecord& terminal_;
  std::optional<int> highestReader_;
  bool inProgram_;  // the join is made here (proven for this connection), not by the database
  bool terminalLoaded_ = false;
  // What the terminal makes of a badge class. Small, because a site run reads it for every
  // badge at every terminal.
  struct ClassMeaning {
    std::uint32_t access = 0;  // its place among the access classes, when isAccess
    bool time = false;         // one of its time classes
    bool isAccess = false;
  };
  const ClassMeaning& Meaning(std::size_t number) const;

  // The terminal's access classes, distinct, highest first, each as the list entry a badge
  // holding it gets.
  std::vector<std::string> accessEntries_;
  std::vector<ClassMeaning> meanings_;  // by class number, for the terminal's classes
  std::vector<std::uint32_t> held_;     // places of the current badge's access classes
  BadgeClassLookup ownClasses_;         // the badges' classes, when no pass shares them
  BadgeClassLookup& classLookup_;       // ownClasses_, or those the pass shares
  const BadgeClassLookup::Classes* badgeClasses_ = nullptr;  // those of the current badge
  bool readersLoaded_ = false;
  std::bitset<12> readers_;
  Rights rights_;  // the answer of the last CheckBadge
};

}  // namespace zibrolt
