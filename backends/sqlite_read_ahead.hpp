// A long list of the embedded database read ahead on a thread of its own. The badge list is
// read, converted and filtered by SQLite in about a third of a run's time; on a second
// connection that work overlaps with the lookups and the files of the rows before it, which
// the run's own thread does meanwhile. The rows still reach the caller one by one, in order,
// with the status that ended the list after the last of them.
#pragma once
#include <sqlite3.h>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "backends/contract.hpp"

namespace zibrolt::backend {

// The current row of stmt into row, whose vectors are sized to outputs: texts converted to
// Windows-1252, integers as they are.
void ReadSqliteRow(sqlite3_stmt* stmt, std::span<const Column> outputs, Row& row);

class ReadAhead {
 public:
  // stmt has been stepped once and stands on its first row; db is its connection, which the
  // thread uses alone until this ends.
  ReadAhead(sqlite3* db, sqlite3_stmt* stmt, std::span<const Column> outputs);
  // Stops the thread once it has read the batch it is at (at most kBatchRows rows); the
  // statement is then the caller's again.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // As Statement::Next: the next row into row (or only a look when row is null), kNoRow at the
  // end, or the error that ended the list.
  int Next(Row* row);

 private:
  // Rows handed over at once: few enough for flat memory, enough that the hand-over costs
  // nothing per row.
  static constexpr std::size_t kBatchRows = 256;

  struct Batch {
    std::vector<Row> rows;  // the first count are the batch's; the rest keep their storage
    std::size_t count = 0;
    int end = kOk;  // after the rows: kOk while more follow, else the list's end
  };

  void Work();
  bool Fill(Batch& batch, bool first);

  sqlite3* db_;
  sqlite3_stmt* stmt_;
  std::span<const Column> outputs_;
  Batch current_;  // the caller's, read from taken_ on
  std::size_t taken_ = 0;
  std::mutex mutex_;  // guards handed_, ready_ and stop_
  std::condition_variable changed_;
  Batch handed_;  // filled by the thread when ready_, else the caller's last one back
  bool ready_ = false;
  bool stop_ = false;
  std::thread worker_;  // last: started once everything above is made
};

}  // namespace zibrolt::backend
