#include "backends/sqlite_read_ahead.hpp"

#include <string>
#include <utility>

#include "platform/stop_signals.hpp"
#include "text/cp1252.hpp"

namespace zibrolt::backend {

void ReadSqliteRow(sqlite3_stmt* stmt, std::span<const Column> outputs, Row& row) {
  for (std::size_t c = 0; c < outputs.size(); ++c) {
    const int col = static_cast<int>(c);
    if (outputs[c].kind == Column::kUnread) {
      row.nulls[c] = 1;
      continue;
    }
    if (outputs[c].kind == Column::kInt) {
      const bool null = sqlite3_column_type(stmt, col) == SQLITE_NULL;
      row.nulls[c] = null;
      row.ints[c] = null ? 0 : sqlite3_column_int64(stmt, col);
      continue;
    }
    std::string& text = row.texts[c];
    std::string& exact = row.exact[c];
    text.clear();
    exact.clear();
    const int type = sqlite3_column_type(stmt, col);  // asked before the text converts it
    const auto* s = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
    row.nulls[c] = s == nullptr;  // the text of a NULL is no pointer at all
    if (!s) continue;
    // A NUL inside a value is kept: cutting there could turn one badge number into another;
    // the generators leave such values out of the files.
    const std::string_view value(s, static_cast<std::size_t>(sqlite3_column_bytes(stmt, col)));
    // SQLite compares bytes with bytes and text with text, byte for byte: a value kept as bytes
    // never equals a text, whatever its bytes.
    if (type == SQLITE_FLOAT) {
      // Its text has 15 digits, which two values may share.
      const double real = sqlite3_column_double(stmt, col);
      exact.push_back(kExactReal);
      exact.append(reinterpret_cast<const char*>(&real), sizeof real);
      Utf8ToCp1252(value, text);
    } else if (!Utf8ToCp1252(value, text) || type == SQLITE_BLOB) {
      exact.push_back(type == SQLITE_BLOB ? kExactBlob : kExactText);
      exact.append(value);
    }
  }
}

ReadAhead::ReadAhead(sqlite3* db, sqlite3_stmt* stmt, std::span<const Column> outputs)
    : db_(db), stmt_(stmt), outputs_(outputs) {
  // Started while stops are held back, the thread keeps them held back for good (on POSIX it
  // inherits the blocked signals): a stop always reaches the run's own thread, which holds it
  // back while it puts the file in place. On Windows stops come on a thread of their own.
  const platform::HeldBack held;
  worker_ = std::thread([this] { Work(); });
}

ReadAhead::~ReadAhead() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

int ReadAhead::Next(Row* row) {
  if (taken_ == current_.count) {
    if (current_.end != kOk) return current_.end;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ready_; });
    std::swap(current_, handed_);  // the rows read go back to the thread for their storage
    ready_ = false;
    lock.unlock();
    changed_.notify_all();
    taken_ = 0;
    if (current_.count == 0) return current_.end;
  }
  // The caller's row goes into the batch in exchange: both are sized to the outputs.
  if (row) std::swap(*row, current_.rows[taken_]);
  ++taken_;
  return kOk;
}

// Reads up to a batch of rows; false once the list has ended (batch.end says how).
bool ReadAhead::Fill(Batch& batch, bool first) {
  batch.count = 0;
  batch.end = kOk;
  while (batch.count < kBatchRows) {
    // The first row was stepped to when the list was run.
    const int rc = first ? SQLITE_ROW : sqlite3_step(stmt_);
    first = false;
    if (rc != SQLITE_ROW) {
      batch.end = rc == SQLITE_DONE ? kNoRow : -sqlite3_extended_errcode(db_);
      return false;
    }
    if (batch.rows.size() == batch.count) batch.rows.emplace_back(outputs_.size());
    ReadSqliteRow(stmt_, outputs_, batch.rows[batch.count++]);
  }
  return true;
}

void ReadAhead::Work() {
  Batch work;
  for (bool first = true, more = true; more; first = false) {
    more = Fill(work, first);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !ready_ || stop_; });
    if (stop_) return;
    std::swap(work, handed_);
    ready_ = true;
    lock.unlock();
    changed_.notify_all();
  }
}

}  // namespace zibrolt::backend
