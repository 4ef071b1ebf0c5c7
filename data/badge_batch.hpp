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

#include "data/badges.hpp"
#include "frame/sqlhlp.hpp"

namespace zibrolt {

// A lookup's two statements: by one badge number (":b0") and by a window of them.
class BadgeLookup {
 public:
  // single: the statement text for one badge, ending in "<column>=:b0"; the window statement
  // is the same text with the comparison replaced by "<column> in (:b0 , ... )".
  BadgeLookup(std::string_view single, std::span<const sqlhlp::Column> outputs);
  // The statements point into the texts kept here, and connections know them by address.
  BadgeLookup(const BadgeLookup&) = delete;
  BadgeLookup& operator=(const BadgeLookup&) = delete;

  // Binds the badges one lookup asks for and returns the statement to open: on a database that
  // prefers batches the badge and the distinct numbers ahead of it in list (at most a window),
  // otherwise the badge alone. numbers receives the badge numbers asked for.
  sqlhlp::Statement& Bind(sqlhlp::Connection& db, std::string_view badge, const BadgeCursor* list,
                          std::vector<std::string>& numbers) const;

  // Whether Bind gives the window statement.
  static bool Batched(const sqlhlp::Connection& db, const BadgeCursor* list) {
    return list && db.PrefersBatches();
  }

 private:
  std::string singleText_;
  std::string windowText_;
  sqlhlp::Query single_;
  sqlhlp::Query window_;
};

// The answers of a single-row lookup (0 with the row's value, 1403 without a row, kTooManyRows
// with a second row) for the badges of the last lookup. The first column of the lookup's rows
// is the badge number they belong to.
template <typename Value>
class BadgeAnswers {
 public:
  struct Answer {
    std::string badge;  // badge number
    int status;         // as a single-row query answers
    Value value;        // read from the row when status is 0
  };

  // The answer for badge, looking it up (with the window ahead of it) when the last lookup did
  // not ask for it. read(statement, value) takes the value from the current row. A failed
  // statement gives its status and no answer.
  template <typename Read>
  int Find(sqlhlp::Connection& db, const BadgeLookup& lookup, std::string_view badge,
           const BadgeCursor* list, Read read, const Value** value) {
    for (std::size_t i = 0; i < size_; ++i) {
      if (answers_[i].badge != badge) continue;
      *value = &answers_[i].value;
      return answers_[i].status;
    }
    size_ = 0;
    sqlhlp::Statement& st = lookup.Bind(db, badge, list, numbers_);
    if (!lookup.Batched(db, list)) return One(st, badge, read, value);
    // The entries keep their storage from one lookup to the next.
    if (answers_.size() < numbers_.size()) answers_.resize(numbers_.size());
    for (std::size_t i = 0; i < numbers_.size(); ++i) {
      answers_[i].badge.swap(numbers_[i]);
      answers_[i].status = sqlhlp::kNoRow;
    }
    int status = st.Open();
    while (status == sqlhlp::kOk && (status = st.Fetch()) == sqlhlp::kOk) {
      for (std::size_t i = 0; i < numbers_.size(); ++i) {
        Answer& a = answers_[i];
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
    if (status != sqlhlp::kNoRow) return status;
    size_ = numbers_.size();
    *value = &answers_.front().value;  // the badge asked for comes first
    return answers_.front().status;
  }

 private:
  // The single lookup: one badge, as a single-row query.
  template <typename Read>
  int One(sqlhlp::Statement& st, std::string_view badge, Read read, const Value** value) {
    if (answers_.empty()) answers_.resize(1);
    Answer& a = answers_.front();
    a.status = st.SelectOne();
    if (a.status != sqlhlp::kOk && a.status != sqlhlp::kNoRow && a.status != sqlhlp::kTooManyRows)
      return a.status;  // failed: no answer to keep
    a.badge.assign(badge);
    if (a.status == sqlhlp::kOk) read(st, a.value);
    size_ = 1;
    *value = &a.value;
    return a.status;
  }

  std::vector<Answer> answers_;
  std::size_t size_ = 0;              // entries of answers_ that hold answers
  std::vector<std::string> numbers_;  // badge numbers of the last lookup
};

}  // namespace zibrolt
