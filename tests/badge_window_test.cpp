// The lookups of a window of badges answer exactly as the lookups of one badge: classes,
// location, balance and a badge's own display set, read badge by badge on the embedded database
// and by windows (through ODBC in the ODBC pass, else on the embedded database told to batch),
// on an installation whose key columns differ in type from the badge numbers.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "backends/sqlite.hpp"
#include "data/badges.hpp"
#include "data/balance.hpp"
#include "data/checks.hpp"
#include "data/display_texts.hpp"
#include "data/location.hpp"
#include "data/statements.hpp"
#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

// The embedded database asked for windows, as a database behind a network is, or shown no join
// as exact, as a database whose key columns differ in type or collation would show them.
class Told final : public backend::Connection {
 public:
  Told(std::unique_ptr<backend::Connection> inner, bool batches, bool proofs)
      : inner_(std::move(inner)), batches_(batches), proofs_(proofs) {}
  std::unique_ptr<backend::Statement> Prepare(std::string_view text,
                                              std::span<const backend::Column> outputs,
                                              int& status) override {
    return inner_->Prepare(text, outputs, status);
  }
  int SwitchSchema(std::string_view schema) override { return inner_->SwitchSchema(schema); }
  bool PrefersBatches() const override { return batches_; }
  backend::JoinProof ProveExactJoin(const backend::KeyColumn& a,
                                    const backend::KeyColumn& b) override {
    return proofs_ ? inner_->ProveExactJoin(a, b) : backend::JoinProof{};
  }

 private:
  std::unique_ptr<backend::Connection> inner_;
  bool batches_;
  bool proofs_;
};

std::unique_ptr<sqlhlp::Connection> Embedded(const Installation& inst, bool batching,
                                             bool proofs = true) {
  std::unique_ptr<backend::Connection> opened;
  std::string state;
  EXPECT_EQ(backend::ConnectSqlite(inst.database().string(), "", "", opened, state), 0);
  if (batching || !proofs) opened = std::make_unique<Told>(std::move(opened), batching, proofs);
  return std::make_unique<sqlhlp::Connection>(std::move(opened));
}

// Badge numbers with a leading zero; the class, location and balance tables key them as
// integers, which the database compares with the text numerically, as Oracle's implicit
// conversion does. Badge sets: S1 lines 1, 2 and 5, S2 lines 3 and 4; language 2 has no value
// code for line 2. Badges 2 and 3 have two validity rows valid today (S1 twice; S1 and S2 in
// two languages), badge 5 an expired one of S2; 1,200 more badges cross a window.
const char* const kRows = R"sql(
DROP TABLE Kvd301Awb;
DROP TABLE Kvd113Awv;
DROP TABLE O2002TSW;
CREATE TABLE Kvd301Awb (AWBASW INTEGER NOT NULL, AWBBKL TEXT NOT NULL);
CREATE TABLE Kvd113Awv (AWVNUM INTEGER NOT NULL, AwvSto INTEGER, AWVCOD INTEGER, AwvSta INTEGER);
CREATE TABLE O2002TSW (TSWIDN INTEGER NOT NULL, TswW01, TswW02, TswW03, TswW04, TswW05, TswW06,
  TswW07, TswW08, TswW09, TswW10, TswW11, TswW12, TswW13, TswW14, TswW15, TswW16, TswF01, TswF02,
  TswF03, TswF04, TswF05, TswF06, TswF07, TswF08, TswF09, TswF10);
INSERT INTO Kvd1140Trm VALUES ('T1', '7744-010', 'S1', 1, 1, 1, 1);
INSERT INTO MGSST35P VALUES ('T1', 'Z', '1'), ('T1', '10', '0'), ('T1', '7', '0');
INSERT INTO Kvd113Sto VALUES (12, 'Nord', 1);
INSERT INTO Kvd102Whl VALUES (220001, 1, 1, 'Eins', NULL), (220001, 2, 1, 'Zwei', NULL),
  (220001, 3, 1, 'Drei', NULL), (220001, 4, 1, 'Vier', NULL), (220001, 5, 1, 'Fuenf', NULL),
  (220001, 1, 2, 'One', NULL), (220001, 2, 2, 'Two', NULL), (220001, 3, 2, 'Three', NULL),
  (220001, 4, 2, 'Four', NULL), (220001, 5, 2, 'Five', NULL),
  (220002, 1, 1, NULL, '#W1'), (220002, 2, 1, NULL, '#W2'), (220002, 3, 1, NULL, '#W21'),
  (220002, 4, 1, NULL, '#W3'), (220002, 5, 1, NULL, '#W4'),
  (220002, 1, 2, NULL, '#W1'), (220002, 3, 2, NULL, '#W22'), (220002, 4, 2, NULL, '#W5'),
  (220002, 5, 2, NULL, '#W6');
INSERT INTO Kvd119Msd VALUES ('S1', 1, NULL, NULL, 1, 1, 'A', 1, 1, 1),
  ('S1', 2, 2, NULL, 1, 1, 'A', 2, 2, 1), ('S1', 5, NULL, 'Eigen  ', 1, 1, 'A', 5, 5, NULL),
  ('S2', 3, NULL, NULL, 1, 1, 'A', 3, 3, 1), ('S2', 4, NULL, NULL, 1, 1, 'A', 4, 4, 1);
CREATE TEMP TABLE b AS SELECT column1 n, column2 sal, column3 spr, column4 gvo, column5 gbi FROM (
  VALUES ('0100000001', 'S1', 1, -10, NULL), ('0100000002', 'S1', 1, -10, NULL),
  ('0100000002', 'S1', 1, -20, NULL), ('0100000003', 'S1', 1, -10, NULL),
  ('0100000003', 'S2', 2, -20, 5), ('0100000004', 'S1', 2, -10, NULL),
  ('0100000005', 'S2', 1, -100, -50), ('0100000005', 'S1', 1, -10, NULL));
INSERT INTO b WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 1200)
  SELECT '02' || (100000000 + i), CASE WHEN i % 3 = 0 THEN 'S1' END, 1 + i % 2, -10, NULL FROM s;
INSERT INTO Kvd301Asw SELECT n, date('now', 'localtime', gvo || ' days'),
  date('now', 'localtime', gbi || ' days'), 'P', NULL, NULL, NULL, 1, sal, NULL, spr, NULL, 1, 1,
  1 FROM b;
INSERT INTO Kvd113Awv SELECT DISTINCT n, 12, 1, 1 FROM b;
INSERT INTO Kvd301Awb SELECT DISTINCT n, 'Z' FROM b UNION ALL SELECT DISTINCT n, '10' FROM b
  WHERE n LIKE '%1' OR n LIKE '%4';
INSERT INTO O2002TSW (TSWIDN, TswW02, TswW03, TswF01) SELECT DISTINCT n, '+' || substr(n, 7),
  '-1,5', 'Info ' || n FROM b WHERE n NOT LIKE '%7';
)sql";

// What the lookups answer for each row of T1's badge list, one line per badge row.
std::vector<std::string> Answers(sqlhlp::Connection& db) {
  std::FILE* quiet = std::fopen("/dev/null", "w");
  const Messages messages(quiet, false);
  TerminalRecord terminal;
  terminal.name = "T1";
  terminal.assignmentCount = 0;
  BadgeCursor list(db);
  Authorisations checks(db, messages, terminal, &list);
  LocationLookup location(db, &list);
  BalanceLookup balance(db, &list);
  DisplayTexts texts(db, &list);
  std::vector<std::string> answers;
  EXPECT_EQ(list.OpenBadgeCursor(terminal), 0);
  BadgeRow row;
  while (list.FetchBadge(row) == 0) {
    std::string a = row.AswNum;
    const Rights& rights = checks.CheckBadge(row);
    a += " rights " + std::to_string(rights.status) + (rights.time ? " time" : "");
    for (const std::string& c : rights.classes) a += " [" + c + "]";
    const Found<std::string_view> at = location.FetchLocationText(row);
    a += " location " + std::to_string(at.status) + " " + std::string(at.value);
    const Found<const BalanceValues*> values = balance.LookupBalanceData(row);
    a += " balance " + std::to_string(values.status);
    if (values.value) a += " [" + values.value->value[2] + values.value->info[1] + "]";
    const int status = texts.ReadBadgeLines(row, [&](const DisplayLine& line) {
      a += " [" + std::to_string(line.sequence) + " " + std::to_string(line.column) + " " +
           line.label + line.valueCode + "]";
    });
    answers.push_back(a + " set " + std::to_string(status));
    row.Clear();
  }
  list.CloseBadgeCursor();
  std::fclose(quiet);
  return answers;
}

// The windows' connection: through ODBC in the ODBC pass, else the embedded database told to
// batch.
std::unique_ptr<sqlhlp::Connection> Batched(const Installation& inst) {
  std::unique_ptr<sqlhlp::Connection> batched;
  if (OdbcMode())
    EXPECT_EQ(inst.Connect(batched), 0);
  else
    batched = Embedded(inst, true);
  return batched;
}

// Every statement the lookups sent, single or window form, is one the preflight lists, prepares
// and prints: a text made elsewhere would reach a site's server unchecked.
void ExpectListed(const sqlhlp::Connection& db) {
  std::set<std::string, std::less<>> listed;
  for (const ListedStatement& s : DataStatements()) listed.insert(s.text);
  for (const std::string_view text : db.PreparedTexts())
    EXPECT_TRUE(listed.contains(text)) << text.substr(0, 300);
}

TEST(BadgeWindow, AnswersAsTheSingleLookupsWhateverTheKeyTypes) {
  Installation inst(kRows);
  std::unique_ptr<sqlhlp::Connection> batched = Batched(inst);
  ASSERT_TRUE(batched);
  const std::unique_ptr<sqlhlp::Connection> one = Embedded(inst, false);
  const std::vector<std::string> single = Answers(*one);
  const std::vector<std::string> windows = Answers(*batched);
  ExpectListed(*one);
  ExpectListed(*batched);
  // The cursors a run holds: the list, the terminal's classes and the four window forms.
  EXPECT_EQ(batched->PreparedTexts().size(), 6u);
  ASSERT_EQ(single.size(), 1207u);
  // The integer keys match the badge with its leading zero. Badge 2: two rows of line 1 end
  // the set; badge 3: two sets in two languages; badge 4: language 2 has no code for line 2;
  // badge 5: the expired row's set does not count.
  const std::string kSet1 = " [1 1 Eins         #W1] [2 2 Zwei         #W2] [5 1 Eigen        #W4]";
  const std::vector<std::string> expected = {
      "0100000001 rights 0 time [10 ] location 0 Nor balance 0 [  0001 Info 0100000001     ]" +
          kSet1 + " set 1403",
      "0100000002 rights 0 time location 0 Nor balance 0 [  0002 Info 0100000002     ] set -1422",
      "0100000002 rights 0 time location 0 Nor balance 0 [  0002 Info 0100000002     ] set -1422",
      "0100000003 rights 0 time location 0 Nor balance 0 [  0003 Info 0100000003     ]" + kSet1 +
          " [3 1 Three        #W22] [4 1 Four         #W5] set 1403",
      "0100000003 rights 0 time location 0 Nor balance 0 [  0003 Info 0100000003     ]" + kSet1 +
          " [3 1 Three        #W22] [4 1 Four         #W5] set 1403",
      "0100000004 rights 0 time [10 ] location 0 Nor balance 0 [  0004 Info 0100000004     ] "
      "[1 1 One          #W1] set 1403",
      "0100000005 rights 0 time location 0 Nor balance 0 [  0005 Info 0100000005     ]" + kSet1 +
          " set 1403",
  };
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(single[i], expected[i]);
  // The windows: a few statements for the whole list, where the single lookups ran thousands.
  EXPECT_LT(batched->counters().executions, 30u);
  for (std::size_t i = 0; i < single.size() && i < windows.size(); ++i)
    EXPECT_EQ(single[i], windows[i]) << "row " << i;
  EXPECT_EQ(windows.size(), single.size());
}

// Badge by badge, the embedded database reads the set of a badge with one validity row once per
// set and language and keeps it; a badge with more rows is read with its own statements. Against
// those statements alone and the windows: 300 sets of one line, more than are kept at once,
// twice round; S3 with two lines of number 1; S4 with one line whose code only language 1 has.
// Badges 1 to 12 of 04: S4 in two languages, S3, S2 and S1, S1 twice and S2, a set named with a
// non-ASCII letter, no language; S2 beside a row without language, no set; twice each: S1, S4
// in language 2, S3 (beside a row with neither), S0 without lines.
const char* const kOwnSets = R"sql(
INSERT INTO Kvd119Msd VALUES ('S3', 1, NULL, NULL, 1, 1, 'A', 1, 1, 1),
  ('S4', 1, NULL, NULL, 1, 1, 'A', 1, 2, 1),
  ('S3', 1, NULL, NULL, 1, 1, 'A', 2, 9, 1), ('S' || char(228), 1, NULL, 'Umlaut', 1, 1, 'A', 1,
  3, 1);
INSERT INTO Kvd119Msd WITH RECURSIVE s(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM s
  WHERE i < 399) SELECT 'S' || i, 1, NULL, 'Satz ' || i, 1, 1, 'A', 1, 1 + i % 5, 1 FROM s;
CREATE TEMP TABLE c AS SELECT column1 n, column2 sal, column3 spr FROM (VALUES
  ('0400000001', 'S4', 1), ('0400000001', 'S4', 2), ('0400000002', 'S3', 1),
  ('0400000003', 'S2', 1), ('0400000003', 'S1', 1), ('0400000004', 'S1', 1),
  ('0400000004', 'S1', 1), ('0400000004', 'S2', 1), ('0400000005', 'S' || char(228), 1),
  ('0400000006', 'S1', NULL), ('0400000007', 'S2', 1), ('0400000007', 'S1', NULL),
  ('0400000008', NULL, 1), ('0400000009', 'S1', 1), ('0400000009', 'S1', 1),
  ('0400000010', 'S4', 2), ('0400000010', 'S4', 2), ('0400000011', 'S3', 1),
  ('0400000011', 'S3', 1), ('0400000011', NULL, NULL), ('0400000012', 'S0', 1),
  ('0400000012', 'S0', 1));
INSERT INTO c WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 600)
  SELECT '03' || (100000000 + i), 'S' || (100 + i % 300), 1 FROM s;
INSERT INTO Kvd301Asw SELECT n, date('now', 'localtime', '-1 days'), NULL, 'P', NULL, NULL, NULL,
  1, sal, NULL, spr, NULL, 1, 1, 1 FROM c;
INSERT INTO Kvd113Awv SELECT DISTINCT n, 12, 1, 1 FROM c;
)sql";

TEST(BadgeWindow, KeptSetsAnswerAsTheBadgesOwnStatements) {
  Installation inst(std::string(kRows) + kOwnSets);
  std::unique_ptr<sqlhlp::Connection> batched = Batched(inst);
  ASSERT_TRUE(batched);
  const std::unique_ptr<sqlhlp::Connection> kept = Embedded(inst, false);
  const std::unique_ptr<sqlhlp::Connection> ownOnly = Embedded(inst, false, false);
  const std::vector<std::string> single = Answers(*kept);
  // Each connection's one way for many badges against the badges' own statements, which the
  // kept sets spare in part.
  const std::vector<std::string> own = Answers(*ownOnly);
  EXPECT_LT(kept->counters().executions, ownOnly->counters().executions);
  for (const std::vector<std::string>& other : {single, Answers(*batched)}) {
    ASSERT_EQ(other.size(), own.size());
    for (std::size_t i = 0; i < own.size(); ++i) EXPECT_EQ(own[i], other[i]) << "row " << i;
  }
  // What the badges of 04 get: their lines, then the status that ended the reading.
  const std::vector<std::string> expected = {
      "#W2] set 1403",
      " [1 1 Eins         #W1] [1 1 Zwei         #W1] set 1403",
      " [1 1 Eins         #W1] [2 2 Zwei         #W2] [5 1 Eigen        #W4] [3 1 Drei         "
      "#W21] [4 1 Vier         #W3] set 1403",
      " set -1422",
      " [1 1 Umlaut       #W21] set 1403",
      " set 1403",
      " [3 1 Drei         #W21] [4 1 Vier         #W3] set 1403",
      " set 1403",
      " set -1422",
      " set 1403",
      " set -1422",
      " set 1403",
  };
  std::vector<std::string> got;
  for (const std::string& a : single)
    if (a.starts_with("04") && (got.empty() || a.substr(0, 10) != got.back().substr(0, 10)))
      got.push_back(a);
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(got[i].ends_with(expected[i])) << got[i];
  // The 300 sets of the 03 badges, each with its own label.
  std::size_t sets = 0;
  for (const std::string& a : single)
    if (a.starts_with("03")) {
      const int i = std::stoi(a.substr(2, 10)) - 100000000;
      EXPECT_NE(a.find("[1 1 Satz " + std::to_string(100 + i % 300) + " "), std::string::npos) << a;
      ++sets;
    }
  EXPECT_EQ(sets, 600u);
}

}  // namespace
}  // namespace zibrolt::test
