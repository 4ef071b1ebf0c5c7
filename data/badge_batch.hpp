// Lookups by badge number, one badge at a time or for a window of the badge list at once. Where
// every statement is a round trip to a server, a lookup binds the window's badge numbers as a
// table of its own ("keys": place i, number k) and joins it with the looked-up table
// ("where AWBASW=keys.k"). Each row then carries the place of the number it matched, and the
// rows are handed to their badges by that place: the database's own equality decides which rows
// belong to a badge, whatever the types of the key columns, exactly as in the single lookup.
#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "client/sqlhlp.hpp"
#include "data/badges.hpp"

namespace zibrolt {

// What a lookup found for a badge: status 0 with the value, 1403 without a row (the value is
// then empty), or the database's error.
template <typename Value>
struct Found {
  int status = sqlhlp::kNoRow;
  Value value{};
};

// The table of bound badge numbers that a window statement joins: "(select i ,k from (...)
// where i<:bN) keys" with places 0 to places - 1 bound to :b0 ... and N = places bound to the
// count of places in use, so that unused places find nothing. The numbers are bound as CHAR,
// like the single lookup's; Oracle types a union of CHAR values of one length as CHAR (a CHAR(n)
// key column then compares blank-padded, as with the single bind) but of several lengths as
// VARCHAR2, which a CHAR(n) key column only equals without padding.
std::string KeysTable(std::size_t places);

// The window statement of a lookup with its keys table in place: window is its text with
// "{keys}" where KeysTable(places) joins.
std::string WindowStatement(std::string_view window, std::size_t places = kBadgeWindow);

// A lookup's two statements, both written out by the lookup: by one badge number (":b0") and by
// a window of them ("{keys}" where the keys table joins, its first column the place, an
// integer, and "<column>=keys.k" where the single form compares with :b0).
class BadgeLookup {
 public:
  // list is the badge cursor the generator walks; without one, or where the database answers
  // single lookups faster, a lookup asks for its one badge.
  BadgeLookup(sqlhlp::Connection& db, const BadgeCursor* list, std::string_view single,
              std::span<const sqlhlp::Column> outputs, std::string_view window,
              std::span<const sqlhlp::Column> windowOutputs);
  BadgeLookup(const BadgeLookup&) = delete;
  BadgeLookup& operator=(const BadgeLookup&) = delete;

  // Whether Ask gives the window statement.
  bool Batched() const { return batched_; }

  // The place of badge among the numbers of the last lookup, or -1. The generator asks for the
  // badges in list order, so the search starts where the last one was found.
  int Place(const BadgeKey& badge);

  // Binds the badges one lookup asks for and returns the statement to run: when batched the
  // badge at place 0 and the numbers ahead of it in the list (at most a window), otherwise the
  // badge alone.
  sqlhlp::Statement& Ask(const BadgeKey& badge);
  // Badges the last Ask bound.
  std::size_t Asked() const { return asked_; }
  // The place of the badge the statement's current row belongs to: 0 for the single statement,
  // else the place the row carries in its first column; -1 for none.
  int RowPlace(const sqlhlp::Statement& st) const;
  // Forgets the numbers of the last lookup (it failed: nothing of it may be answered).
  void Forget() { asked_ = 0; }

 private:
  sqlhlp::Connection& db_;
  const BadgeCursor* list_;
  bool batched_;
  std::string singleText_;
  std::string windowText_;
  std::vector<sqlhlp::Column> outputs_;
  std::vector<sqlhlp::Column> windowOutputs_;
  sqlhlp::Statement* single_ = nullptr;  // prepared on first use
  sqlhlp::Statement* window_ = nullptr;
  std::vector<KeptBadgeKey> numbers_;  // the badge numbers asked for, by place
  std::size_t asked_ = 0;             // places of numbers_ in use
  std::size_t hint_ = 0;              // where Place found the last badge
};

// The answers of a single-row lookup (0 with the row's value, 1403 without a row, kTooManyRows
// with a second row) for the badges of the last lookup. Column 0 of the lookup's rows is the
// key (single) or place (window); read takes the value from the other columns.
template <typename Value>
class BadgeAnswers {
 public:
  // The answer for badge, looking it up (with the window ahead of it) when the last lookup did
  // not ask for it. read(statement, value) takes the value from the current row. A failed
  // statement gives its status and no answer.
  template <typename Read>
  Found<const Value*> Find(BadgeLookup& lookup, const BadgeKey& badge, Read read) {
    if (const int at = lookup.Place(badge); at >= 0) return Answer(static_cast<std::size_t>(at));
    sqlhlp::Statement& st = lookup.Ask(badge);
    if (!lookup.Batched()) return One(lookup, st, read);
    // The entries keep their storage from one lookup to the next.
    if (answers_.size() < lookup.Asked()) answers_.resize(lookup.Asked());
    for (std::size_t i = 0; i < lookup.Asked(); ++i) answers_[i].status = sqlhlp::kNoRow;
    int status = st.Open();
    while (status == sqlhlp::kOk && (status = st.Fetch()) == sqlhlp::kOk) {
      const int at = lookup.RowPlace(st);
      if (at < 0) continue;
      Entry& a = answers_[static_cast<std::size_t>(at)];
      if (a.status == sqlhlp::kNoRow) {
        a.status = sqlhlp::kOk;
        read(st, a.value);
      } else {
        a.status = sqlhlp::kTooManyRows;
      }
    }
    st.Close();
    if (status != sqlhlp::kNoRow) {
      lookup.Forget();
      return {status, nullptr};
    }
    return Answer(0);  // the badge asked for comes first
  }

 private:
  struct Entry {
    int status;   // as a single-row query answers
    Value value;  // read from the row when status is 0
  };

  Found<const Value*> Answer(std::size_t i) const {
    const Entry& a = answers_[i];
    return {a.status, a.status == sqlhlp::kOk ? &a.value : nullptr};
  }

  // The single lookup: one badge, as a single-row query.
  template <typename Read>
  Found<const Value*> One(BadgeLookup& lookup, sqlhlp::Statement& st, Read read) {
    if (answers_.empty()) answers_.resize(1);
    Entry& a = answers_.front();
    a.status = st.SelectOne();
    if (a.status != sqlhlp::kOk && a.status != sqlhlp::kNoRow && a.status != sqlhlp::kTooManyRows) {
      lookup.Forget();
      return {a.status, nullptr};  // failed: no answer to keep
    }
    if (a.status == sqlhlp::kOk) read(st, a.value);
    return Answer(0);
  }

  std::vector<Entry> answers_;  // by place
};

}  // namespace zibrolt
