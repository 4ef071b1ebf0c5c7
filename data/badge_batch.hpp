// Lookups by badge number, one badge at a time or for a window of the badge list at once. Where
// every statement is a round trip to a server, a lookup lists the window's badge numbers
// ("where AWBASW in (:b0 ,:b1 ,...)") and the answers are kept per badge number until the
// generator reaches a badge outside the window. Equality in the list is the database's own, so
// each badge gets exactly the rows its single lookup would have found.
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

// A lookup's two statements: by one badge number (":b0") and by a window of them.
class BadgeLookup {
 public:
  // single: the statement text for one badge, ending in "<column>=:b0"; the window statement
  // is the same text with the comparison replaced by "<column> in (:b0 , ... )". list is the
  // badge cursor the generator walks; without one, or where the database answers single
  // lookups faster, a lookup asks for its one badge.
  BadgeLookup(sqlhlp::Connection& db, const BadgeCursor* list, std::string_view single,
              std::span<const sqlhlp::Column> outputs);
  BadgeLookup(const BadgeLookup&) = delete;
  BadgeLookup& operator=(const BadgeLookup&) = delete;

  // Binds the badges one lookup asks for and returns the statement to run: when batched the
  // badge and the distinct numbers ahead of it in the list (at most a window), otherwise the
  // badge alone. numbers receives the badge numbers asked for, the badge first.
  sqlhlp::Statement& Bind(std::string_view badge, std::vector<std::string>& numbers);

  // Whether Bind gives the window statement.
  bool Batched() const { return batched_; }

 private:
  sqlhlp::Connection& db_;
  const BadgeCursor* list_;
  bool batched_;
  std::string singleText_;
  std::string windowText_;
  std::vector<sqlhlp::Column> outputs_;
  sqlhlp::Statement* single_ = nullptr;  // prepared on first use
  sqlhlp::Statement* window_ = nullptr;
};

// The answers of a single-row lookup (0 with the row's value, 1403 without a row, kTooManyRows
// with a second row) for the badges of the last lookup. The first column of the lookup's rows
// is the badge number they belong to.
template <typename Value>
class BadgeAnswers {
 public:
  // The answer for badge, looking it up (with the window ahead of it) when the last lookup did
  // not ask for it. read(statement, value) takes the value from the current row. A failed
  // statement gives its status and no answer.
  template <typename Read>
  Found<const Value*> Find(BadgeLookup& lookup, std::string_view badge, Read read) {
    for (std::size_t i = 0; i < size_; ++i)
      if (answers_[i].badge == badge) return Answer(i);
    size_ = 0;
    sqlhlp::Statement& st = lookup.Bind(badge, numbers_);
    if (!lookup.Batched()) return One(st, badge, read);
    // The entries keep their storage from one lookup to the next.
    if (answers_.size() < numbers_.size()) answers_.resize(numbers_.size());
    for (std::size_t i = 0; i < numbers_.size(); ++i) {
      answers_[i].badge.swap(numbers_[i]);
      answers_[i].status = sqlhlp::kNoRow;
    }
    int status = st.Open();
    while (status == sqlhlp::kOk && (status = st.Fetch()) == sqlhlp::kOk) {
      for (std::size_t i = 0; i < numbers_.size(); ++i) {
        Entry& a = answers_[i];
        if (st.IsNull(0) || a.badge != st.GetText(0)) continue;
        if (a.status == sqlhlp::kNoRow) {
          a.status = sqlhlp::kOk;
          read(st, a.value);
        } else {
          a.status = sqlhlp::kTooManyRows;
        }
      }
    }
    st.Close();
    if (status != sqlhlp::kNoRow) return {status, nullptr};
    size_ = numbers_.size();
    return Answer(0);  // the badge asked for comes first
  }

 private:
  struct Entry {
    std::string badge;  // badge number
    int status;         // as a single-row query answers
    Value value;        // read from the row when status is 0
  };

  Found<const Value*> Answer(std::size_t i) const {
    const Entry& a = answers_[i];
    return {a.status, a.status == sqlhlp::kOk ? &a.value : nullptr};
  }

  // The single lookup: one badge, as a single-row query.
  template <typename Read>
  Found<const Value*> One(sqlhlp::Statement& st, std::string_view badge, Read read) {
    if (answers_.empty()) answers_.resize(1);
    Entry& a = answers_.front();
    a.status = st.SelectOne();
    if (a.status != sqlhlp::kOk && a.status != sqlhlp::kNoRow && a.status != sqlhlp::kTooManyRows)
      return {a.status, nullptr};  // failed: no answer to keep
    a.badge.assign(badge);
    if (a.status == sqlhlp::kOk) read(st, a.value);
    size_ = 1;
    return Answer(0);
  }

  std::vector<Entry> answers_;
  std::size_t size_ = 0;              // entries of answers_ that hold answers
  std::vector<std::string> numbers_;  // badge numbers of the last lookup
};

}  // namespace zibrolt
