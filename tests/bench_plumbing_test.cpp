// The benchmark's plumbing, kept small and untimed: the generated installation has the shape
// the measurements assume and is the same for the same seed, the counters that ZIBROLT_STATS
// reports add up, and bench/run.sh turns a run into a table row.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "backends/sqlite.hpp"
#include "data/badges.hpp"
#include "data/terminal.hpp"
#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {
namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/zibrolt-bench-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// shape as bench/run.sh names it: few-sets or own-sets, "+shuffled" for its rows shuffled.
fs::path MakeInstallation(const fs::path& dir, long badges, int seed,
                          const std::string& shape = "few-sets") {
  const std::size_t plus = shape.find('+');
  const bool shuffled = plus != std::string::npos;
  // NET8 names the file: short names keep it within its 50 characters.
  const fs::path db = dir / ("b" + std::to_string(badges) + "-" + std::to_string(seed) +
                             shape.substr(0, 1) + (shuffled ? "s" : "") + ".db");
  const std::string command = std::string("'") + ZIBROLT_BENCH_DB_BIN + "' --badges " +
                              std::to_string(badges) + " --seed " + std::to_string(seed) +
                              " --shape " + shape.substr(0, plus) +
                              (shuffled ? " --shuffled" : "") + " --terminals 20 '" +
                              db.string() + "'";
  RunResult r = Shell(command, dir);
  if (r.exitStatus != 0) throw std::runtime_error("zibrolt-bench-db failed: " + r.output);
  return db;
}

// Reads a database with plain SQL (the test's own view, not the tool's client layer).
class Reader {
 public:
  explicit Reader(const fs::path& path) {
    sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
  }
  ~Reader() { sqlite3_close(db_); }

  // Every row of the query, columns joined by "|", rows by "\n".
  std::string Rows(const std::string& sql) const {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(db_));
    std::string text;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
        text += (c ? "|" : "") + std::string(value ? value : "<null>");
      }
      text += "\n";
    }
    sqlite3_finalize(stmt);
    return text;
  }
  long Number(const std::string& sql) const { return std::stol(Rows(sql)); }

 private:
  sqlite3* db_ = nullptr;
};

const char* const kTables[] = {"Kvd1140Trm", "Kvd115Tfz", "Kvd301Asw", "Kvd113Awv",
                               "Kvd113Sto",  "MGSST35P",  "Kvd301Awb", "Kvd401Zls",
                               "O2002TSW",   "Kvd119Msd", "Kvd102Whl"};

std::size_t Digest(const fs::path& db) {
  Reader reader(db);
  std::string all;
  for (const char* table : kTables)
    all += reader.Rows(std::string("SELECT * FROM ") + table + " ORDER BY rowid");
  return std::hash<std::string>{}(all);
}

TEST(BenchInstallation, SameSeedGivesTheSameRowsAnotherSeedOthers) {
  TempDir dir;
  const fs::path first = MakeInstallation(dir.path(), 300, 7);
  const fs::path again = dir.path() / "again.db";
  fs::rename(first, again);
  EXPECT_EQ(Digest(MakeInstallation(dir.path(), 300, 7)), Digest(again));
  EXPECT_NE(Digest(MakeInstallation(dir.path(), 300, 8)), Digest(again));
}

// Every table's rows in an order that does not depend on where they are stored.
std::size_t SortedDigest(const fs::path& db) {
  Reader reader(db);
  std::string all;
  for (const char* table : kTables) {
    std::istringstream text(reader.Rows(std::string("SELECT * FROM ") + table));
    std::vector<std::string> rows;
    for (std::string row; std::getline(text, row);) rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    all += table;
    for (const std::string& row : rows) all += row + "\n";
  }
  return std::hash<std::string>{}(all);
}

TEST(BenchInstallation, ShuffledHoldsTheSameRowsOutOfOrderTheSameEveryTime) {
  TempDir dir;
  for (const std::string shape : {"few-sets", "own-sets"}) {
    const fs::path ordered = MakeInstallation(dir.path(), 400, 5, shape);
    const fs::path shuffled = MakeInstallation(dir.path(), 400, 5, shape + "+shuffled");
    EXPECT_EQ(SortedDigest(shuffled), SortedDigest(ordered)) << shape;
    const fs::path again = dir.path() / "again.db";
    fs::rename(shuffled, again);
    EXPECT_EQ(Digest(MakeInstallation(dir.path(), 400, 5, shape + "+shuffled")), Digest(again))
        << shape;
    // Stored order: a badge's rows lie anywhere, in every table that has a row per badge.
    Reader db(again);
    for (const char* sql : {"SELECT AswNum FROM Kvd301Asw ORDER BY rowid",
                            "SELECT AWVNUM FROM Kvd113Awv ORDER BY rowid",
                            "SELECT AWBASW FROM Kvd301Awb ORDER BY rowid",
                            "SELECT TSWIDN FROM O2002TSW ORDER BY rowid"}) {
      std::istringstream text(db.Rows(sql));
      long descents = 0, rows = 0;
      std::string previous;
      for (std::string number; std::getline(text, number); ++rows) {
        descents += number < previous;
        previous = number;
      }
      EXPECT_GT(descents, rows / 4) << shape << ": " << sql;
    }
  }
}

TEST(BenchInstallation, HasTheIntendedShape) {
  TempDir dir;
  constexpr long n = 1000;
  Reader db(MakeInstallation(dir.path(), n, 3));
  // About 1.3 validity periods, 2.5 classes and 0.8 balance rows per badge.
  const long validity = db.Number("SELECT count(*) FROM Kvd301Asw");
  EXPECT_GE(validity, n * 12 / 10);
  EXPECT_LE(validity, n * 14 / 10);
  EXPECT_EQ(db.Number("SELECT count(DISTINCT AswNum) FROM Kvd301Asw"), n);
  EXPECT_EQ(db.Number("SELECT count(*) FROM Kvd113Awv"), n);
  const long classes = db.Number("SELECT count(*) FROM Kvd301Awb");
  EXPECT_GE(classes, n * 2);
  EXPECT_LE(classes, n * 3);
  EXPECT_EQ(db.Number("SELECT max(n) FROM (SELECT count(*) n FROM Kvd301Awb GROUP BY AWBASW)"), 5);
  EXPECT_EQ(db.Number("SELECT count(*) FROM (SELECT 1 FROM Kvd301Awb GROUP BY AWBASW, AWBBKL "
                      "HAVING count(*) > 1)"),
            0);
  const long balances = db.Number("SELECT count(*) FROM O2002TSW");
  EXPECT_GE(balances, n * 7 / 10);
  EXPECT_LE(balances, n * 9 / 10);

  // Everything fits the fixed-width files: badge numbers of 13, classes of 3 characters.
  EXPECT_LE(db.Number("SELECT max(length(AswNum)) FROM Kvd301Asw"), 13);
  EXPECT_LE(db.Number("SELECT max(max(length(AswBkl)), max(length(AswBk2))) FROM Kvd301Asw"), 3);
  EXPECT_LE(db.Number("SELECT max(length(AWBBKL)) FROM Kvd301Awb"), 3);

  // Some rows of every kind that the badge list leaves out.
  EXPECT_GT(db.Number("SELECT count(*) FROM Kvd301Asw WHERE AswSta IN (4, 8)"), 0);
  EXPECT_GT(db.Number("SELECT count(*) FROM Kvd113Awv WHERE AWVCOD = 8"), 0);
  EXPECT_GT(db.Number("SELECT count(*) FROM Kvd301Asw WHERE AswGbi < date('now','localtime')"), 0);
  EXPECT_GT(db.Number("SELECT count(*) FROM Kvd301Asw WHERE AswGvo > date('now','localtime')"), 0);
  EXPECT_GT(db.Number("SELECT count(*) FROM Kvd301Asw WHERE AswSal LIKE 'BSAL%'"), 0);

  // The two measured terminals: readers 1 to 11, and assignments only on BENCH-MND.
  EXPECT_EQ(db.Rows("SELECT TrmNam, TRMMOD, TRMSAL FROM Kvd1140Trm WHERE TrmNam LIKE 'BENCH-%' "
                    "AND TrmNam NOT LIKE 'BENCH-T%' ORDER BY TrmNam"),
            "BENCH-ALL|7744-010|TSAL\nBENCH-MND|7598-002|TSAL2\n");
  EXPECT_EQ(db.Rows("SELECT group_concat(ZlsLes) FROM (SELECT ZlsLes FROM Kvd401Zls WHERE "
                    "ZlsTrm = 'BENCH-MND' ORDER BY ZlsLes)"),
            "1,2,3,4,5,6,7,8,9,10,11\n");
  EXPECT_EQ(db.Number("SELECT count(*) FROM Kvd401Zls"), 22 * 11);
  EXPECT_EQ(db.Number("SELECT count(*) FROM Kvd115Tfz WHERE TfzTrm = 'BENCH-ALL'"), 0);
  EXPECT_EQ(db.Number("SELECT count(*) FROM Kvd119Msd WHERE MsdSal IN ('TSAL', 'BSAL1')"), 16);

  // The indexes are built after the rows, but every one of the schema's is there.
  const std::string schema = ReadFile(fs::path(ZIBROLT_SOURCE_DIR) / "db" / "schema.sql");
  long wanted = 0;
  for (std::size_t at = 0; (at = schema.find("CREATE INDEX", at)) != std::string::npos; ++at)
    ++wanted;
  EXPECT_GT(wanted, 0);
  EXPECT_EQ(
      db.Number("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"),
      wanted);
}

// The badge list as the tool reads it: most badges are valid today, BENCH-MND sees about half.
// Most badges with a set of their own (in every period), two or three periods, 1 to 5 classes,
// a location and a balance row each.
TEST(BenchInstallation, OwnSetsShape) {
  TempDir dir;
  constexpr long n = 1000;
  Reader db(MakeInstallation(dir.path(), n, 3, "own-sets"));
  const struct {
    const char* sql;
    long low, high;
  } kCounts[] = {
      {"SELECT count(DISTINCT AswNum) FROM Kvd301Asw WHERE AswSal IS NOT NULL", n * 85 / 100,
       n * 95 / 100},
      {"SELECT count(*) FROM (SELECT 1 FROM Kvd301Asw GROUP BY AswNum HAVING "
       "count(DISTINCT AswSal) > 1)",
       0, 0},
      {"SELECT count(DISTINCT AswSal) FROM Kvd301Asw", 40, 40},
      {"SELECT count(*) FROM Kvd301Asw", n * 2, n * 3},
      {"SELECT min(c) FROM (SELECT count(*) c FROM Kvd301Awb GROUP BY AWBASW)", 1, 1},
      {"SELECT count(DISTINCT AWBASW) FROM Kvd301Awb", n, n},
      {"SELECT count(*) FROM Kvd113Awv WHERE AwvSto IS NOT NULL", n, n},
      {"SELECT count(*) FROM O2002TSW", n, n},
      {"SELECT count(DISTINCT MsdSal) FROM Kvd119Msd", 42, 42},
  };
  for (const auto& c : kCounts) {
    const long count = db.Number(c.sql);
    EXPECT_GE(count, c.low) << c.sql;
    EXPECT_LE(count, c.high) << c.sql;
  }
}

TEST(BenchInstallation, BadgeListsOfBothTerminals) {
  TempDir dir;
  constexpr long n = 1000;
  const fs::path path = MakeInstallation(dir.path(), n, 5);
  std::unique_ptr<sqlhlp::Connection> db;
  ASSERT_EQ(sqlhlp::ConnectDatabase("", "", "sqlite:" + path.string(), "KORVADAT", db), 0);

  auto list = [&](const char* name, TerminalRecord& terminal) {
    terminal.name = name;
    EXPECT_EQ(LoadTerminalContext(*db, terminal), 0);
    BadgeCursor cursor(*db);
    EXPECT_EQ(cursor.OpenBadgeCursor(terminal), 0);
    std::vector<std::string> numbers;
    BadgeRow row;
    int status;
    while ((status = cursor.FetchBadge(row)) == 0) {
      numbers.push_back(row.AswNum);
      row = BadgeRow{};
    }
    EXPECT_EQ(status, sqlhlp::kNoRow);
    cursor.CloseBadgeCursor();
    return numbers;
  };
  TerminalRecord all, assigned;
  const std::vector<std::string> everyone = list("BENCH-ALL", all);
  const std::vector<std::string> some = list("BENCH-MND", assigned);
  EXPECT_EQ(all.assignmentCount, 0);
  EXPECT_EQ(assigned.assignmentCount, 2);

  const long validity = Reader(path).Number("SELECT count(*) FROM Kvd301Asw");
  EXPECT_GE(static_cast<long>(everyone.size()), n * 85 / 100);
  EXPECT_LT(static_cast<long>(everyone.size()), validity);
  EXPECT_GE(some.size() * 10, everyone.size() * 4);
  EXPECT_LE(some.size() * 10, everyone.size() * 6);
  // A few badges have two periods valid today and come twice, one after the other.
  int twice = 0;
  for (std::size_t i = 1; i < everyone.size(); ++i) twice += everyone[i] == everyone[i - 1];
  EXPECT_GT(twice, 0);
}

struct Stats {
  unsigned long long prepares = 0, executions = 0, fetches = 0;
};

// The lines of the stats file, each "prepares=P executions=E fetches=F".
std::vector<Stats> ReadStats(const fs::path& path) {
  std::vector<Stats> lines;
  std::istringstream in(ReadFile(path));
  std::string line;
  while (std::getline(in, line)) {
    Stats s;
    EXPECT_EQ(std::sscanf(line.c_str(), "prepares=%llu executions=%llu fetches=%llu", &s.prepares,
                          &s.executions, &s.fetches),
              3)
        << line;
    lines.push_back(s);
  }
  return lines;
}

// Sets an environment variable for the runs of one test (each test runs in its own process).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() { unsetenv(name_); }

 private:
  const char* name_;
};

TEST(BenchRun, StatsLineAddsUpAndChangesNothingElse) {
  TempDir dir;
  const fs::path db = MakeInstallation(dir.path(), 300, 11);
  Login login;
  login.net = "sqlite:" + db.string();
  Installation inst({}, login);
  const fs::path statsFile = dir.path() / "stats.txt";

  const char* const functions[] = {"MGDNL17P", "MGDNL18P", "MGDNL31P", "MGDNL60P", "IDSTAMM"};
  for (const char* function : functions) {
    SCOPED_TRACE(function);
    RunResult plain = inst.Generate(function, "BENCH-MND", "plain.dnl");
    std::vector<Stats> before = ReadStats(statsFile);
    RunResult counted;
    {
      ScopedEnv env("ZIBROLT_STATS", statsFile.string());
      counted = inst.Generate(function, "BENCH-MND", "counted.dnl");
    }
    // The hook adds a line to its file and nothing to the run.
    EXPECT_EQ(counted.exitStatus, 0);
    EXPECT_EQ(plain.exitStatus, counted.exitStatus);
    EXPECT_BYTES(plain.output, counted.output);
    EXPECT_BYTES(inst.ReadOut("plain.dnl"), inst.ReadOut("counted.dnl"));
    std::vector<Stats> after = ReadStats(statsFile);
    ASSERT_EQ(after.size(), before.size() + 1);
    const Stats& s = after.back();

    // The schema switch and the terminal's two queries, each prepared once; a statement
    // prepared per badge would show here as hundreds.
    EXPECT_GE(s.prepares, 3u);
    EXPECT_LE(s.prepares, 40u);
    EXPECT_GE(s.executions, 2u);
    unsigned read = 0, written = 0;
    const std::size_t at = counted.output.find("Ausweise gesamt: ");
    if (at == std::string::npos) continue;  // a generator still being built reads nothing
    ASSERT_EQ(std::sscanf(counted.output.c_str() + at,
                          "Ausweise gesamt: %u davon in Datei gestellt: %u", &read, &written),
              2);
    EXPECT_GT(read, 0u);
    EXPECT_LE(written, read);
    // Every badge row is one fetch, and the badge list ends with one more; each window of the
    // list asks at least for its badges' classes, and no row asks more than a handful of
    // statements.
    EXPECT_GE(s.fetches, read + 1ull);
    EXPECT_GE(s.executions, read / kBadgeWindow + 2ull);
    EXPECT_LE(s.executions, 6ull * read + 10ull);
  }
  // Without the variable no file is written at all.
  fs::remove(statsFile);
  inst.Generate("MGDNL31P", "BENCH-ALL");
  EXPECT_FALSE(fs::exists(statsFile));
}

TEST(BenchRun, ScriptTabulatesEveryRun) {
  TempDir dir;
  const std::string buildDir = fs::path(ZIBROLT_BIN).parent_path().string();
  RunResult r =
      Shell("'" ZIBROLT_SOURCE_DIR "/bench/run.sh' --no-build --build-dir '" + buildDir +
                "' --baseline '" + buildDir +
                "' --baseline-schema '" ZIBROLT_SOURCE_DIR "/db/schema.sql' --work '" +
                dir.path().string() + "' --functions 'MGDNL17P IDSTAMM' --repeat 2 200 2>&1",
            dir.path());
  ASSERT_EQ(r.exitStatus, 0) << r.output;
  // One table row per shape, function and terminal, seventeen columns; the rows-read column is
  // what the run printed (0 when it printed no count), and each run's stats line is kept: two
  // runs each, the faster one's time shown. The baseline, here the same build on installations
  // of its own made from the same schema and seed, adds a row of twelve columns per run, which
  // finds the same file and output.
  int tableRows = 0, baselineRows = 0;
  std::istringstream lines(r.output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("| 200 |", 0) != 0) continue;
    std::vector<std::string> cells;
    std::istringstream cellText(line.substr(1));
    for (std::string cell; std::getline(cellText, cell, '|');)
      cells.push_back(cell.substr(1, cell.size() - 2));
    if (cells.size() == 12) {
      ++baselineRows;
      EXPECT_EQ(cells[11], "same") << line;
      continue;
    }
    ASSERT_EQ(cells.size(), 17u) << line;
    ++tableRows;
    EXPECT_EQ(cells[2].find("exit"), std::string::npos) << line;
    const fs::path log = dir.path() / cells[1] / "200" / "log" / (cells[2] + "-" + cells[3]);
    const std::string output = ReadFile(log.string() + ".out");
    unsigned read = 0, written = 0;
    const std::size_t at = output.find("Ausweise gesamt: ");
    if (at != std::string::npos)
      std::sscanf(output.c_str() + at, "Ausweise gesamt: %u davon in Datei gestellt: %u", &read,
                  &written);
    EXPECT_EQ(cells[4], std::to_string(written)) << line;
    EXPECT_EQ(cells[5], std::to_string(read)) << line;
    EXPECT_EQ(cells[15], "-") << line;  // no round trips on the embedded database
    // The private part of the memory is part of the peak, and some file pages are mapped.
    EXPECT_LE(std::stod(cells[11]), std::stod(cells[10])) << line;
    EXPECT_GT(std::stod(cells[12]), 0) << line;
    EXPECT_EQ(ReadStats(log.string() + ".stats").size(), 2u) << line;
    EXPECT_TRUE(fs::exists(log.string() + ".time")) << line;
    EXPECT_FALSE(fs::exists(log.string() + ".try")) << line;
  }
  EXPECT_EQ(tableRows, 12) << r.output;  // three shapes, the shuffled one included
  EXPECT_EQ(baselineRows, 12) << r.output;
}

}  // namespace
}  // namespace zibrolt::test
