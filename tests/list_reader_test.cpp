// The badge list of the embedded database is read ahead on a second connection and a thread of
// its own. It must give exactly the rows, order and end the run's own connection gives, and
// read the same database even when a writer commits or a new file is put in place meanwhile.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "backends/sqlite.hpp"
#include "client/sqlhlp.hpp"
#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

namespace fs = std::filesystem;

constexpr sqlhlp::Column kNumberColumn[] = {sqlhlp::Text(16)};
constexpr sqlhlp::Query kNumbers{"select AswNum  from Korvadat.Kvd301Asw order by AswNum",
                                 kNumberColumn};
constexpr sqlhlp::Query kNumbersDown{"select AswNum  from Korvadat.Kvd301Asw order by AswNum desc",
                                     kNumberColumn};

std::string Number(int n) {
  const std::string text = std::to_string(n);
  return std::string(9 - text.size(), '0') + text;
}

// Badge rows with the numbers 0 to count - 1.
std::string Rows(int count) {
  return "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i+1<" +
         std::to_string(count) + ") INSERT INTO Kvd301Asw (AswNum) SELECT " +
         "substr('000000000'||i,-9) FROM n WHERE " + std::to_string(count) + ">0;";
}

std::vector<std::string> Numbers(int count) {
  std::vector<std::string> numbers;
  for (int n = 0; n < count; ++n) numbers.push_back(Number(n));
  return numbers;
}

// The list's numbers as OpenList gives them, up to stopAfter; read to its end, the list must
// end with 1403, and again so when fetched once more.
std::vector<std::string> ReadList(sqlhlp::Connection& db, std::size_t stopAfter = ~0u) {
  sqlhlp::Statement& list = db.Use(kNumbers);
  std::vector<std::string> numbers;
  int status = list.OpenList();
  while (status == sqlhlp::kOk && numbers.size() < stopAfter &&
         (status = list.Fetch()) == sqlhlp::kOk)
    numbers.emplace_back(list.GetText(0));
  if (numbers.size() < stopAfter) {
    EXPECT_EQ(status, sqlhlp::kNoRow);
    EXPECT_EQ(list.Fetch(), sqlhlp::kNoRow);
  }
  list.Close();
  return numbers;
}

#ifdef __linux__
std::size_t Threads() {
  // ThreadSanitizer starts a thread of its own with the process's first other thread, and keeps
  // it: one started and ended before the first count brings it, so that counts compare alike.
  static const bool settled = [] {
    std::thread([] {}).join();
    return true;
  }();
  (void)settled;
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}
#endif

TEST(ListReadAhead, GivesEveryRowInOrderAndTheEndAcrossBatches) {
  if (OdbcMode()) GTEST_SKIP() << "the embedded database's own reading";
  for (int count : {0, 1, 255, 256, 257, 1000}) {
    SCOPED_TRACE(count);
    Installation inst(Rows(count));
    std::unique_ptr<sqlhlp::Connection> db;
    ASSERT_EQ(inst.Connect(db), sqlhlp::kOk);
    EXPECT_EQ(ReadList(*db), Numbers(count));
    // Closed early and opened again, the list starts over.
    EXPECT_EQ(ReadList(*db, 3), Numbers(std::min(count, 3)));
    EXPECT_EQ(ReadList(*db), Numbers(count));
    // Two lists at once: the second is read on the run's connection, one thread serving one.
    sqlhlp::Statement& up = db->Use(kNumbers);
    sqlhlp::Statement& down = db->Use(kNumbersDown);
#ifdef __linux__
    const std::size_t before = Threads();
#endif
    ASSERT_EQ(up.OpenList(), sqlhlp::kOk);
    ASSERT_EQ(down.OpenList(), sqlhlp::kOk);
#ifdef __linux__
    if (count > 512) {  // a thread that has not read it all yet
      EXPECT_EQ(Threads(), before + 1);
    }
#endif
    for (int n = 0; n < count; ++n) {
      ASSERT_EQ(up.Fetch(), sqlhlp::kOk);
      ASSERT_EQ(down.Fetch(), sqlhlp::kOk);
      ASSERT_EQ(up.GetText(0), Number(n));
      ASSERT_EQ(down.GetText(0), Number(count - 1 - n));
    }
    EXPECT_EQ(up.Fetch(), sqlhlp::kNoRow);
    EXPECT_EQ(down.Fetch(), sqlhlp::kNoRow);
    up.Close();
    down.Close();
#ifdef __linux__
    EXPECT_EQ(Threads(), before);
#endif
  }
}

// Whatever order the objects end in (an exception unwinding destroys a connection before a
// statement that another owner holds), the thread reading ahead is stopped before its statement
// and connection go: the list still reads to its end, and nothing is left running.
TEST(ListReadAhead, StatementOutlivingItsConnectionStopsItsThreadFirst) {
  if (OdbcMode()) GTEST_SKIP() << "the embedded database's own reading";
  Installation inst(Rows(1000));
  std::unique_ptr<backend::Connection> db;
  std::string state;
  ASSERT_EQ(backend::ConnectSqlite(inst.database().string(), "", "", db, state), 0);
#ifdef __linux__
  const std::size_t before = Threads();
#endif
  int status = 0;
  std::unique_ptr<backend::Statement> list = db->Prepare(kNumbers.text, kNumberColumn, status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(list->Run({}, backend::Reading::kList), 0);
  backend::Row row(1);
  ASSERT_EQ(list->Next(&row), 0);
  db.reset();
  std::vector<std::string> numbers{row.texts[0]};
  while ((status = list->Next(&row)) == 0) numbers.push_back(row.texts[0]);
  EXPECT_EQ(status, sqlhlp::kNoRow);
  EXPECT_EQ(numbers, Numbers(1000));
  // Run again and ended half-way, the list's thread is stopped with its statement.
  ASSERT_EQ(list->Run({}, backend::Reading::kList), 0);
  ASSERT_EQ(list->Next(&row), 0);
  list.reset();
#ifdef __linux__
  EXPECT_EQ(Threads(), before);
#endif
}

TEST(ListReadAhead, ReadsWhatTheRunReadsWhileTheDatabaseChanges) {
  if (OdbcMode()) GTEST_SKIP() << "the embedded database's own reading";
  // Rollback journal: the writer cannot commit while the run reads, and once it waits no new
  // reader gets in. WAL: the writer commits beside the run, whose list must not show the row.
  // A new file put in place (which Windows refuses for an open file): the run reads on in its
  // own.
  for (const char* change : {"DELETE", "WAL", "new file"}) {
    SCOPED_TRACE(change);
    const std::string mode = change;
    Installation inst(Rows(600) + (mode == "new file" ? "" : "PRAGMA journal_mode=" + mode + ";"));
    std::unique_ptr<sqlhlp::Connection> db;
    ASSERT_EQ(inst.Connect(db), sqlhlp::kOk);
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(inst.database().string().c_str(), &writer), SQLITE_OK);
    if (mode == "new file") {
#ifdef _WIN32
      sqlite3_close(writer);
      continue;
#endif
      const Installation other(Rows(10));
      fs::rename(other.database(), inst.database());
    } else {
      ASSERT_EQ(
          sqlite3_exec(writer, "BEGIN IMMEDIATE; INSERT INTO Kvd301Asw (AswNum) VALUES ('0A')",
                       nullptr, nullptr, nullptr),
          SQLITE_OK);
      EXPECT_EQ(sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr),
                mode == "WAL" ? SQLITE_OK : SQLITE_BUSY);
    }
    EXPECT_EQ(ReadList(*db), Numbers(600));
    sqlite3_close(writer);
  }
}

}  // namespace
}  // namespace zibrolt::test
