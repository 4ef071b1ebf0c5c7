// The shared badge data every generator stands on: the list of today's badges and how its
// columns are formatted, the time and access checks with the reader table, and the location
// text. Run in process against a test installation's database.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/badges.hpp"
#include "data/checks.hpp"
#include "data/client_filter.hpp"
#include "data/location.hpp"
#include "tests/harness.hpp"
#include "text/messages.hpp"

namespace zibrolt::test {
namespace {

// A connection to the installation's database and messages that are kept.
class DataSession {
 public:
  explicit DataSession(std::string_view sql) : inst_(sql), db_(inst_.Connected()) {}

  Messages Lines(bool verbose = false) { return Messages(out_.get(), verbose); }
  sqlhlp::Connection& db() { return *db_; }
  std::string Output() { return out_.Text(); }

 private:
  Installation inst_;
  std::unique_ptr<sqlhlp::Connection> db_;
  CapturedOutput out_;
};

TerminalRecord Terminal(const std::string& name, int assignments) {
  TerminalRecord t;
  t.name = name;
  t.assignmentCount = assignments;
  return t;
}

// The badge numbers the cursor lists for the terminal, in list order; withClients: the list
// a site pass reads for all its terminals at once.
std::vector<std::string> Listed(sqlhlp::Connection& db, const TerminalRecord& terminal,
                                bool withClients = false) {
  BadgeCursor cursor(db);
  if (withClients) cursor.ReadClients();
  EXPECT_EQ(cursor.OpenBadgeCursor(terminal), 0);
  std::vector<std::string> numbers;
  BadgeRow row;
  int status;
  while ((status = cursor.FetchBadge(row)) == 0) {
    numbers.push_back(row.AswNum);
    row.Clear();
  }
  EXPECT_EQ(status, 1403);
  cursor.CloseBadgeCursor();
  return numbers;
}

// A badge valid since yesterday: number, client, licence.
std::string Badge(const std::string& number, int client = 1, int licence = 1) {
  return "INSERT INTO Kvd301Asw (AswNum, AswGvo, ASWMND, ASWLIZ) VALUES ('" + number +
         "', date('now','localtime','-1 days'), " + std::to_string(client) + ", " +
         std::to_string(licence) + "); INSERT INTO Kvd113Awv (AWVNUM) VALUES ('" + number + "');";
}

using Numbers = std::vector<std::string>;

TEST(BadgeCursor, AssignmentsNarrowTheListToTheirClientsAndLicences) {
  DataSession s(Badge("A1", 1, 1) + Badge("A2", 1, 2) + Badge("A3", 2, 1) +
                "INSERT INTO Kvd115Tfz VALUES ('TA', 1, 1, NULL);");
  EXPECT_EQ(Listed(s.db(), Terminal("TA", 1)), (Numbers{"A1"}));
  EXPECT_EQ(Listed(s.db(), Terminal("TA", 0)), (Numbers{"A1", "A2", "A3"}));
  EXPECT_EQ(Listed(s.db(), Terminal("TB", 1)), Numbers{});
}

// A site pass reads the list with clients once for all terminals and hands each row to a
// terminal with assignments as often as that terminal's own list holds it: once per assignment
// row (whatever its status) with the badge's client and licence, never where either is NULL.
TEST(ClientFilter, HandsEachRowAsOftenAsTheTerminalsOwnList) {
  DataSession s(Badge("A1", 1, 1) + Badge("A2", 1, 2) + Badge("A3", 2, 1) + Badge("A4", 3, 3) +
                Badge("A5", 1, 1) + "UPDATE Kvd301Asw SET ASWLIZ = NULL WHERE AswNum = 'A5';" +
                "INSERT INTO Kvd115Tfz VALUES ('TA', 1, 1, NULL), ('TA', 1, 1, NULL), "
                "('TA', 1, 2, 4), ('TA', 2, NULL, NULL), ('TA', NULL, 1, NULL), "
                "('TB', 2, 1, NULL), ('TA', 3, 4, NULL);");
  ClientFilter filter;
  ASSERT_EQ(filter.Load(s.db(), "TA"), 0);
  BadgeCursor list(s.db());
  list.ReadClients();
  ASSERT_EQ(list.OpenBadgeCursor(Terminal("TB", 1)), 0);  // whatever the terminal
  std::map<std::string, int> handed;
  BadgeRow row;
  while (list.FetchBadge(row) == 0) {
    handed[row.AswNum] = filter.Repeats(list);
    row.Clear();
  }
  list.CloseBadgeCursor();
  EXPECT_EQ(handed,
            (std::map<std::string, int>{{"A1", 2}, {"A2", 1}, {"A3", 0}, {"A4", 0}, {"A5", 0}}));
  std::map<std::string, int> own;
  for (const std::string& number : Listed(s.db(), Terminal("TA", 6))) ++own[number];
  for (const auto& [number, times] : handed) EXPECT_EQ(own[number], times) << number;
}

TEST(BadgeCursor, OnlyBadgesValidTodayAndNotWithdrawn) {
  DataSession s(R"sql(
INSERT INTO Kvd301Asw (AswNum, AswGvo, AswGbi, AswSta) VALUES
  ('V01', date('now','localtime','-5 days'), NULL, NULL),
  ('V02', date('now','localtime','+1 days'), NULL, NULL),
  ('V03', NULL, date('now','localtime','+1 days'), NULL),
  ('V04', NULL, date('now','localtime','-1 days'), NULL),
  ('V05', date('now','localtime'), date('now','localtime'), NULL),
  ('V06', date('now','localtime','-10 days'), date('now','localtime','-1 days'), NULL),
  ('V07', NULL, NULL, NULL),
  ('S01', date('now','localtime','-1 days'), NULL, 4),
  ('S02', date('now','localtime','-1 days'), NULL, 8),
  ('S03', date('now','localtime','-1 days'), NULL, NULL),
  ('S04', date('now','localtime','-1 days'), NULL, NULL),
  ('S05', date('now','localtime','-1 days'), NULL, NULL),
  ('S06', date('now','localtime','-1 days'), NULL, NULL),
  ('S07', date('now','localtime','-1 days'), NULL, 1),
  ('N01', date('now','localtime','-1 days'), NULL, NULL);
INSERT INTO Kvd113Awv (AWVNUM, AWVCOD, AwvSta) VALUES
  ('V01', NULL, NULL), ('V02', NULL, NULL), ('V03', NULL, NULL), ('V04', NULL, NULL),
  ('V05', NULL, NULL), ('V06', NULL, NULL), ('V07', NULL, NULL), ('S01', NULL, NULL),
  ('S02', NULL, NULL), ('S03', NULL, 4), ('S04', NULL, 8), ('S05', 8, NULL),
  ('S06', NULL, NULL), ('S07', 7, 2);
)sql");
  EXPECT_EQ(Listed(s.db(), Terminal("T1", 0)), (Numbers{"S06", "S07", "V01", "V03", "V05"}));
}

// Today belongs to the validity at either end, in every variant of the list: its three
// alternatives (open end, open start, both ends) each compare with today on their own.
TEST(BadgeCursor, TodayIsInsideTheValidityAtEitherEndInEveryVariant) {
  constexpr int kOpen = 99;  // NULL
  const struct {
    const char* number;
    int from, to;  // days from today
    bool listed;
  } kBadges[] = {
      {"D1", 0, kOpen, true}, {"D2", kOpen, 0, true},  {"D3", 0, 0, true},
      {"D4", -5, 0, true},    {"D5", 0, 5, true},      {"D6", kOpen, -1, false},
      {"D7", -5, -1, false},  {"D8", 1, kOpen, false}, {"D9", 1, 5, false},
  };
  std::string sql = "INSERT INTO Kvd115Tfz VALUES ('TA', 1, 1, NULL);";
  Numbers expected;
  for (const auto& b : kBadges) {
    auto date = [&](int days) { return days == kOpen ? "NULL" : "'" + SqlDate(days) + "'"; };
    sql += std::string("INSERT INTO Kvd301Asw (AswNum, AswGvo, AswGbi, ASWMND, ASWLIZ) VALUES ('") +
           b.number + "', " + date(b.from) + ", " + date(b.to) + ", 1, 1);" +
           "INSERT INTO Kvd113Awv (AWVNUM) VALUES ('" + b.number + "');";
    if (b.listed) expected.push_back(b.number);
  }
  DataSession s(sql);
  EXPECT_EQ(Listed(s.db(), Terminal("T1", 0)), expected) << "all badges";
  EXPECT_EQ(Listed(s.db(), Terminal("TA", 1)), expected) << "assigned badges";
  EXPECT_EQ(Listed(s.db(), Terminal("TA", 1), true), expected) << "with clients";
}

TEST(BadgeCursor, RowsComeByNumberFirstDayAndClass) {
  const std::string longNumber(200, '9');
  DataSession s(R"sql(
INSERT INTO Kvd301Asw (AswNum, AswGvo, AswBkl) VALUES
  ('F1', date('now','localtime','-5 days'), 'B'),
  ('F1', date('now','localtime','-5 days'), 'A'),
  ('F1', date('now','localtime','-9 days'), 'C'),
  ('F0', date('now','localtime','-1 days'), NULL),
  (')sql" + longNumber +
                R"sql(', date('now','localtime','-1 days'), NULL);
INSERT INTO Kvd113Awv (AWVNUM) VALUES ('F0'), ('F1'), (')sql" +
                longNumber + R"sql(');
)sql");
  BadgeCursor cursor(s.db());
  ASSERT_EQ(cursor.OpenBadgeCursor(Terminal("T1", 0)), 0);
  std::vector<std::string> seen;
  BadgeRow row;
  while (cursor.FetchBadge(row) == 0) {
    seen.push_back(row.AswNum + " " + row.AswGvo + " " + row.AswBkl);
    row.Clear();
  }
  cursor.CloseBadgeCursor();
  // The badge number is kept whole, never cut to a field width.
  EXPECT_EQ(seen, (Numbers{longNumber + " " + ListDate(-1) + "    ", "F0 " + ListDate(-1) + "    ",
                           "F1 " + ListDate(-9) + " C  ", "F1 " + ListDate(-5) + " A  ",
                           "F1 " + ListDate(-5) + " B  "}));
}

// The second row is fetched into the record of the first without clearing it: a NULL column
// must never show the value of the row before.
TEST(BadgeCursor, ColumnsAreFormattedAndNullsCarryNothingOver) {
  DataSession s(R"sql(
INSERT INTO Kvd301Asw VALUES
  ('B1', date('now','localtime','-3 days'), date('now','localtime','+3 days'), '00004711', '5',
   'GRP', 'Notiz', 42, 'SAL', 'LANG1', 2, '1234', 1, 1, 1),
  ('B2', date('now','localtime','-3 days'), NULL, NULL, NULL,
   NULL, NULL, NULL, NULL, NULL, NULL, NULL, 1, 1, 1),
  ('B3', date('now','localtime','-3 days'), NULL, NULL, 'ABCDE',
   NULL, NULL, -7, '', 'X', 0, NULL, 1, 1, 1);
INSERT INTO Kvd113Awv (AWVNUM, AwvSto) VALUES ('B1', 4711), ('B2', NULL), ('B3', 12345678);
)sql");
  BadgeCursor cursor(s.db());
  ASSERT_EQ(cursor.OpenBadgeCursor(Terminal("T1", 0)), 0);
  BadgeRow row;
  ASSERT_EQ(cursor.FetchBadge(row), 0);
  EXPECT_EQ(row.AswNum, "B1");
  EXPECT_EQ(row.AswGvo, ListDate(-3));
  EXPECT_EQ(row.AswGbi, ListDate(3));
  EXPECT_EQ(row.AswPnr, "00004711");
  EXPECT_EQ(row.AswBkl, "5  ");
  EXPECT_EQ(row.AswGrp, "GRP");
  EXPECT_EQ(row.AswAtp, "42");
  EXPECT_EQ(row.AwvSto, "00004711");
  EXPECT_EQ(row.AswSal, "SAL");
  EXPECT_EQ(row.AswBk2, "LANG1");
  EXPECT_EQ(row.AswSpr, "2");
  EXPECT_EQ(row.AswPin, "1234");

  ASSERT_EQ(cursor.FetchBadge(row), 0);
  EXPECT_EQ(row.AswNum, "B2");
  EXPECT_EQ(row.AswGbi, "");
  EXPECT_EQ(row.AswPnr, "");
  EXPECT_EQ(row.AswBkl, "   ");
  EXPECT_EQ(row.AswGrp, "");
  EXPECT_EQ(row.AswAtp, "0");
  EXPECT_EQ(row.AwvSto, "00000000");
  EXPECT_EQ(row.AswSal, "");
  EXPECT_EQ(row.AswBk2, "   ");
  EXPECT_EQ(row.AswSpr, "1");
  EXPECT_EQ(row.AswPin, "");

  ASSERT_EQ(cursor.FetchBadge(row), 0);
  EXPECT_EQ(row.AswBkl, "ABCDE");
  EXPECT_EQ(row.AswBk2, "X  ");
  EXPECT_EQ(row.AswAtp, "-7");
  EXPECT_EQ(row.AwvSto, "12345678");
  EXPECT_EQ(row.AswSpr, "0");

  // The end of the list leaves the record as it was.
  EXPECT_EQ(cursor.FetchBadge(row), 1403);
  EXPECT_EQ(row.AswNum, "B3");
  cursor.CloseBadgeCursor();
}

const char* const kClasses = R"sql(
INSERT INTO MGSST35P VALUES ('T1', 'Z', '1'), ('T1', '10', '0'), ('T1', '20', '0'),
  ('T1', '5', '0'), ('T1', '7', '0'), ('T1', 'LANG1', '0'), ('T2', 'X', '0'), ('T2', 'Y', '1');
INSERT INTO Kvd301Awb VALUES ('C1', 'Z'), ('C1', '10'), ('C1', '20'), ('C1', '5'),
  ('C1', '10'), ('C1', '7'), ('C1', 'X'), ('C1', 'LANG1'), ('C2', 'Y'), ('C2', 'X'),
  ('C3', '10');
INSERT INTO Kvd401Zls VALUES ('T1', -1, 'Z', NULL), ('T1', 0, 'Z', 1), ('T1', 1, 'Z', 1),
  ('T1', 2, 'Z', NULL), ('T1', 3, 'Z', 8), ('T1', 5, 'Z', 4), ('T1', 11, 'Z', 1),
  ('T1', 12, 'Z', 1), ('T2', 4, 'Z', 1);
)sql";

TEST(Checks, TimeAuthorisationCountsOnlyTimeClassesOfTheTerminal) {
  DataSession s(kClasses);
  const TerminalRecord t1 = Terminal("T1", 0);
  const Messages quiet = s.Lines();
  Authorisations checks(s.db(), quiet, t1);
  EXPECT_TRUE(checks.CheckTime(BadgeKey("C1")).time);
  EXPECT_FALSE(checks.CheckTime(BadgeKey("C2")).time);  // only on T2
  EXPECT_FALSE(checks.CheckTime(BadgeKey("C3")).time);  // access class only
  EXPECT_EQ(s.Output(), "");

  const Messages verbose = s.Lines(true);
  Authorisations told(s.db(), verbose, t1);
  EXPECT_TRUE(told.CheckTime(BadgeKey("C1")).time);
  EXPECT_FALSE(told.CheckTime(BadgeKey("C2")).time);
  EXPECT_EQ(s.Output(), "Aws: C1 Zeitberechtigung: 1\nAws: C2 Zeitberechtigung: 0\n");
}

TEST(Checks, AccessClassesHighestFirstOnceEachAndRefilledPerBadge) {
  DataSession s(kClasses + std::string("INSERT INTO MGSST35P VALUES ('T1', '20', '0');"));
  const TerminalRecord t1 = Terminal("T1", 0);
  const Messages lines = s.Lines();
  Authorisations checks(s.db(), lines, t1);
  // Descending as the database orders text: letters after digits, "7" after "20"; a class
  // listed twice for the terminal or held twice by the badge comes once.
  EXPECT_EQ(checks.CheckBadge(BadgeKey("C1")).classes,
            (Numbers{"LANG1", "7  ", "5  ", "20 ", "10 "}));
  // Classes only on another terminal.
  EXPECT_EQ(checks.CheckBadge(BadgeKey("C2")).classes, Numbers{});
  EXPECT_EQ(s.Output(), "");
}

TEST(Checks, ClassesThatCannotBeReadStopTheAnswer) {
  DataSession s(kClasses + std::string("DROP TABLE Kvd301Awb;"));
  const TerminalRecord t1 = Terminal("T1", 0);
  const Messages lines = s.Lines(true);
  Authorisations checks(s.db(), lines, t1, nullptr, nullptr, 11);
  EXPECT_LT(checks.CheckTime(BadgeKey("C1")).status, 0);
  EXPECT_LT(checks.CheckBadge(BadgeKey("C1")).status, 0);
  // No "Zeitberechtigung: 0" line for a badge that was not read: the failure instead.
  const std::string failure = "Berechtigungen von Ausweis C1 nicht lesbar! SQLCode:" +
                              std::to_string(checks.CheckTime(BadgeKey("C1")).status) + "\n";
  EXPECT_EQ(s.Output(), failure + failure + failure);
}

TEST(Checks, ReadersUpToTheHighestAskedForThatHaveASlot) {
  DataSession s(kClasses);
  const TerminalRecord t1 = Terminal("T1", 0);
  const Messages lines = s.Lines();
  // Readers 0 to 11 of this terminal that are not withdrawn; -1 and 12 have no slot. A lower
  // highest number leaves the readers above it out; without one no reader is read.
  const struct {
    std::optional<int> highest;
    const char* readers;  // bit 11 first
  } kCases[] = {{11, "100000000111"},
                {1, "000000000011"},
                {32, "100000000111"},
                {std::nullopt, "000000000000"}};
  for (const auto& c : kCases) {
    Authorisations checks(s.db(), lines, t1, nullptr, nullptr, c.highest);
    EXPECT_EQ(checks.CheckBadge(BadgeKey("C3")).classes, Numbers{"10 "});
    EXPECT_EQ(checks.readers().to_string(), c.readers) << c.highest.value_or(-1);
  }
}

TEST(LocationText, FirstThreeCharactersOfAnActiveLocation) {
  DataSession s(R"sql(
INSERT INTO Kvd113Sto VALUES (1, 'B' || char(252) || 'ro Nord', 1), (2, 'EG', NULL),
  (3, NULL, 1), (4, 'Alt', 8), (5, 'Halle', 1);
INSERT INTO Kvd113Awv (AWVNUM, AwvSto, AwvSta) VALUES ('L1', 1, 1), ('L2', 2, NULL),
  ('L3', 3, 1), ('L4', 4, 1), ('L5', 5, 4);
)sql");
  LocationLookup lookup(s.db());
  const struct {
    const char* badge;
    int status;
    const char* text;
  } kCases[] = {
      {"L1", 0, "B\xFCr"}, {"L2", 0, "EG"},
      {"L3", 0, ""},     // a location without short text shows none
      {"L4", 1403, ""},  // withdrawn location
      {"L5", 1403, ""},  // withdrawn administration row
      {"L9", 1403, ""},  // no administration row
  };
  for (const auto& c : kCases) {
    const Found<std::string_view> found = lookup.FetchLocationText(BadgeKey(c.badge));
    EXPECT_EQ(found.status, c.status) << c.badge;
    EXPECT_EQ(found.value, c.text) << c.badge;
  }
}

}  // namespace
}  // namespace zibrolt::test
