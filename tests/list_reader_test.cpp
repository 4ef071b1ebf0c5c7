// The badge list of the embedded database is read ahead on a second connection and a thread of
// its own. It must give exactly the rows, order and end the run's own connection gives, and
// see the same database even when a writer commits meanwhile.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "client/sqlhlp.hpp"
#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

constexpr sqlhlp::Column kNumberColumn[] = {sqlhlp::Text(16)};
constexpr sqlhlp::Query kNumbers{"select AswNum  from Korvadat.Kvd301Asw order by AswNum",
                                 kNumberColumn};
constexpr sqlhlp::Query kNumbersDown{"select AswNum  from Korvadat.Kvd301Asw order by AswNum desc",
                                     kNumberColumn};

std::string Number(int n) {
  std::string text = std::to_string(n);
  return std::string(9 - text.size(), '0') + text;
}

// Badge rows 0 to count - 1 (numbers of 9 digits).
std::string Rows(int count) {
  std::string sql = "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i+1<" +
                    std::to_string(count) + ") INSERT INTO Kvd301Asw (AswNum) SELECT " +
                    "substr('000000000'||i,-9) FROM n WHERE " + std::to_string(count) + ">0;";
  return sql;
}

// The list's numbers as OpenList gives them, with the status that ended it.
std::vector<std::string> ReadList(sqlhlp::Connection& db, int& end, std::size_t stopAfter = ~0u) {
  sqlhlp::Statement& list = db.Use(kNumbers);
  std::vector<std::string> numbers;
  end = list.OpenList();
  while (end == sqlhlp::kOk && numbers.size() < stopAfter && (end = list.Fetch()) == sqlhlp::kOk)
    numbers.emplace_back(list.GetText(0));
  if (end == sqlhlp::kNoRow) {
    EXPECT_EQ(list.Fetch(), sqlhlp::kNoRow);  // and again after the end
  }
  list.Close();
  return numbers;
}

std::vector<std::string> Expected(int count) {
  std::vector<std::string> numbers;
  for (int n = 0; n < count; ++n) numbers.push_back(Number(n));
  return numbers;
}

#ifdef __linux__
std::size_t Threads() {
  namespace fs = std::filesystem;
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}
#endif

struct Writer {  // a second program's connection to the installation's database
  explicit Writer(const std::filesystem::path& file) { sqlite3_open(file.string().c_str(), &db); }
  ~Writer() { sqlite3_close(db); }
  int Exec(const char* sql) const { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
  sqlite3* db = nullptr;
};

TEST(ListReadAhead, GivesEveryRowInOrderAndTheEndAcrossBatches) {
  if (OdbcMode()) GTEST_SKIP() << "the embedded database's own reading";
  for (int count : {0, 1, 255, 256, 257, 1000}) {
    SCOPED_TRACE(count);
    Installation inst(Rows(count));
    std::unique_ptr<sqlhlp::Connection> db;
    ASSERT_EQ(inst.Connect(db), sqlhlp::kOk);
    int end = 0;
    EXPECT_EQ(ReadList(*db, end), Expected(count));
    EXPECT_EQ(end, sqlhlp::kNoRow);
    // Closed early and opened again, the list starts over.
    EXPECT_EQ(ReadList(*db, end, 3), Expected(std::min(count, 3)));
    EXPECT_EQ(ReadList(*db, end), Expected(count));
    // Two lists at once: one is read ahead, the other on the run's connection.
    sqlhlp::Statement& up = db->Use(kNumbers);
    sqlhlp::Statement& down = db->Use(kNumbersDown);
    ASSERT_EQ(up.OpenList(), sqlhlp::kOk);
    ASSERT_EQ(down.OpenList(), sqlhlp::kOk);
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
    if (count == 1000) {  // one list at a time on a thread of its own, which ends with it
      const std::size_t before = Threads();
      ASSERT_EQ(up.OpenList(), sqlhlp::kOk);
      EXPECT_EQ(Threads(), before + 1);
      ASSERT_EQ(down.OpenList(), sqlhlp::kOk);
      EXPECT_EQ(Threads(), before + 1);
      up.Close();
      down.Close();
      EXPECT_EQ(Threads(), before);
    }
#endif
  }
}

TEST(ListReadAhead, SeesWhatTheRunSeesWhileAWriterCommitsOrWaits) {
  if (OdbcMode()) GTEST_SKIP() << "the embedded database's own reading";
  // Rollback journal: the writer cannot commit while the run reads, and once it waits, no new
  // reader gets in (the list is then read on the run's connection). WAL: the writer commits
  // beside the run, whose list must not show the new row.
  for (const char* mode : {"DELETE", "WAL"}) {
    SCOPED_TRACE(mode);
    Installation inst(Rows(600) + "PRAGMA journal_mode=" + mode + ";");
    std::unique_ptr<sqlhlp::Connection> db;
    ASSERT_EQ(inst.Connect(db), sqlhlp::kOk);
    Writer writer(inst.database());
    ASSERT_EQ(writer.Exec("BEGIN IMMEDIATE; INSERT INTO Kvd301Asw (AswNum) VALUES ('000000000A')"),
              SQLITE_OK);
    const bool wal = std::string(mode) == "WAL";
    EXPECT_EQ(writer.Exec("COMMIT"), wal ? SQLITE_OK : SQLITE_BUSY);
    int end = 0;
    EXPECT_EQ(ReadList(*db, end), Expected(600));
    EXPECT_EQ(end, sqlhlp::kNoRow);
  }
}

#ifndef _WIN32
// A site may copy a new database into place while runs read the old one (Windows does not let
// an open file be replaced): the run reads on in the file it opened, and so must its list.
TEST(ListReadAhead, ReadsTheRunsFileWhenANewOneIsPutInItsPlace) {
  if (OdbcMode()) GTEST_SKIP() << "the embedded database's own reading";
  Installation inst(Rows(600));
  std::unique_ptr<sqlhlp::Connection> db;
  ASSERT_EQ(inst.Connect(db), sqlhlp::kOk);
  const Installation other(Rows(10));
  std::filesystem::rename(other.database(), inst.database());
  int end = 0;
  EXPECT_EQ(ReadList(*db, end), Expected(600));
  EXPECT_EQ(end, sqlhlp::kNoRow);
}
#endif

}  // namespace
}  // namespace zibrolt::test
