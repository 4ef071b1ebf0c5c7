// Display lines read from a test database in process: labels, value codes, which lines a set
// yields and where reading stops.
#include "data/display_texts.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

// Terminal T1 shows set S1 in language 1 for client 1, licence 1.
const std::string kTerminal = "INSERT INTO Kvd1140Trm VALUES ('T1','7744-010','S1',1,1,1,1);";

struct Lines {
  std::vector<DisplayLine> lines;  // the lines whose fetch answered 0
  int end = 0;                     // the status that ended the reading
};

Lines ReadTerminal(sqlhlp::Connection& db, const std::string& name) {
  DisplayTexts texts(db);
  TerminalRecord terminal;
  terminal.name = name;
  Lines out;
  out.end = texts.ReadTerminalLines(terminal,
                                    [&](const DisplayLine& line) { out.lines.push_back(line); });
  return out;
}

Lines ReadBadge(sqlhlp::Connection& db, const std::string& badge) {
  DisplayTexts texts(db);
  Lines out;
  out.end = texts.ReadBadgeLines(BadgeKey(badge),
                                 [&](const DisplayLine& line) { out.lines.push_back(line); });
  return out;
}

TEST(DisplayTexts, TerminalLabelsAreTrimmedPaddedAndTakeTheEntity) {
  Installation inst(kTerminal + R"(
    INSERT INTO Kvd119Msd VALUES
      ('S1', 1, NULL, 'Abcde   ',          1, 1, 'A', 1, 1, 1),
      ('S1', 2, 2,    'Xy' || char(9) || ' ', 1, 1, 'A', 1, 2, NULL),
      ('S1', 3, NULL, '  ',                1, 1, 'A', 3, 1, 1),
      ('S1', 4, NULL, NULL,                1, 1, 'A', 4, 1, 1),
      ('S1', 5, NULL, NULL,                1, 1, 'A', 5, 1, 1),
      ('S1', 6, NULL, 'Eigener Text lang', 1, 1, 'A', 1, 1, 1),
      ('S1', 7, NULL, NULL,                1, 1, 'A', 7, 1, 1),
      ('S1', 8, NULL, NULL,                1, 1, 'A', 8, 3, 1);
    INSERT INTO Kvd102Whl VALUES
      (220001, 1, 1, 'Liste', NULL),
      (220001, 3, 1, 'Ma&#241;ana', NULL),
      (220001, 4, 1, 'ABCDEFGHIJKLMNOPQ', NULL),
      (220001, 5, 1, 'Überstundenkonto1', NULL),
      (220001, 7, 1, 'Saldo Ma&#241;ana', NULL),
      (220001, 8, 1, NULL, NULL),
      (220002, 1, 1, NULL, '#W1'), (220002, 2, 1, NULL, '#W25'), (220002, 3, 1, NULL, NULL);
  )");
  auto db = inst.Connected();
  Lines got = ReadTerminal(*db, "T1");
  EXPECT_EQ(got.end, 1403);
  ASSERT_EQ(got.lines.size(), 8u);
  const std::string labels[] = {
      "Abcde        ",  // own text without its trailing blanks
      "Xy           ",  // ... and without a trailing tab
      "Ma\xF1"
      "ana       ",     // blanks only: the list text, entity as one byte
      "ABCDEFGHIJKL ",  // 17 characters of list text: 12 shown
      "\xDC"
      "berstundenk ",   // Windows-1252 from the database's UTF-8
      "Eigener Text ",  // own text: its first 12 characters
      "Saldo Ma\xF1"
      "ana ",           // entity within the first 12: all 12 kept
      "             ",  // no text at all
  };
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i + 1);
    const DisplayLine& line = got.lines[i];
    EXPECT_BYTES(labels[i], line.label);
    EXPECT_EQ(line.sequence, i + 1);
    EXPECT_EQ(line.column, i == 1 ? 2 : 1);  // NULL column counts as 1
    EXPECT_EQ(line.value, "       ");
  }
  EXPECT_EQ(got.lines[0].valueCode, "#W1");
  EXPECT_EQ(got.lines[1].valueCode, "#W25");
  EXPECT_EQ(got.lines[7].valueCode, "");  // NULL code: empty
}

TEST(DisplayTexts, BadgeSetInTheBadgesLanguageKeepsTheEntityText) {
  Installation inst(
      "INSERT INTO Kvd301Asw (AswNum, AswGvo, AswGbi, AswPnr, AswSal, AswSpr) VALUES "
      "('B1', '" +
      SqlDate(-5) +
      "', NULL, '1', 'S2', 2),"
      "('B2', '" +
      SqlDate(3) + "', NULL, '2', 'S2', 2);" + R"(
    INSERT INTO Kvd119Msd VALUES
      ('S2', 1, NULL, NULL,  9, 9, 'A', 1, 1, 1),
      ('S2', 2, 2,    'Own', 9, 9, 'A', 1, 2, 1),
      ('S2', 3, NULL, NULL,  9, 9, 'A', 1, 2, 8);
    INSERT INTO Kvd102Whl VALUES
      (220001, 1, 1, 'Deutsch', NULL),
      (220001, 1, 2, 'Ma&#241;ana-Saldo', NULL),
      (220002, 1, 2, NULL, '#W2'), (220002, 2, 2, NULL, '#W30');
  )");
  auto db = inst.Connected();
  Lines got = ReadBadge(*db, "B1");
  EXPECT_EQ(got.end, 1403);
  ASSERT_EQ(got.lines.size(), 2u);  // line 3 is withdrawn
  EXPECT_BYTES("Ma&#241;ana- ", got.lines[0].label);
  EXPECT_EQ(got.lines[0].valueCode, "#W2");
  EXPECT_BYTES("Own          ", got.lines[1].label);
  EXPECT_EQ(got.lines[1].column, 2);
  EXPECT_EQ(got.lines[1].valueCode, "#W30");

  // Not valid before next week: no lines yet.
  Lines future = ReadBadge(*db, "B2");
  EXPECT_EQ(future.end, 1403);
  EXPECT_TRUE(future.lines.empty());
}

// A badge's set and language join as the database compares them: where the columns could
// compare otherwise than the bound values, the badge's own statements read its lines.
TEST(DisplayTexts, BadgeSetsJoinAsTheDatabaseComparesThem) {
  struct Case {
    const char* name;
    const char* sql;
    const char* set;  // the badge's
    std::size_t lines;
  };
  const Case cases[] = {
      {"a set column of its own collation: the badge's column decides, 's2' is not 'S2'",
       "DROP TABLE Kvd119Msd;"
       "CREATE TABLE Kvd119Msd (MsdSal TEXT COLLATE NOCASE NOT NULL, MsdLfd INTEGER NOT NULL,"
       " MsdSpl INTEGER, MsdTxt TEXT, MsdMnd INTEGER, MsdLiz INTEGER, MSDERF TEXT,"
       " MsdAnz INTEGER, MsdWrt INTEGER, MsdSta INTEGER);",
       "s2", 0},
      {"a language column of text: '02' is language 2 for the number it is compared with",
       "DROP TABLE Kvd102Whl;"
       "CREATE TABLE Kvd102Whl (FtxNumSpr INTEGER NOT NULL, FtxWhl INTEGER NOT NULL,"
       " FtxSpr TEXT NOT NULL, FtxT50 TEXT, FTXT10 TEXT);",
       "S2", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Installation inst(std::string(c.sql) +
                      "INSERT INTO Kvd301Asw (AswNum, AswGvo, AswGbi, AswPnr, AswSal, AswSpr) "
                      "VALUES ('B1', '" +
                      SqlDate(-5) + "', NULL, '1', '" + c.set + "', 2);" + R"(
      INSERT INTO Kvd119Msd VALUES ('S2', 1, NULL, NULL, 9, 9, 'A', 1, 1, 1);
      INSERT INTO Kvd102Whl VALUES (220001, 1, '02', 'Zwei', NULL), (220002, 1, '02', NULL, '#W1');
    )");
    auto db = inst.Connected();
    Lines got = ReadBadge(*db, "B1");
    EXPECT_EQ(got.end, 1403);
    EXPECT_EQ(got.lines.size(), c.lines);
  }
}

TEST(DisplayTexts, LineWithoutOneValueCodeEndsTheReading) {
  Installation inst(kTerminal + R"(
    INSERT INTO Kvd1140Trm VALUES ('T2','7744-010','S2',1,1,1,1);
    INSERT INTO Kvd119Msd VALUES
      ('S1', 1, NULL, 'Eins', 1, 1, 'A', 1, 1, 1),
      ('S1', 2, NULL, 'Zwei', 1, 1, 'A', 1, 5, 1),
      ('S1', 3, NULL, 'Drei', 1, 1, 'A', 1, 1, 1),
      ('S2', 1, NULL, 'Eins', 1, 1, 'A', 1, 6, 1),
      ('S2', 2, NULL, 'Zwei', 1, 1, 'A', 1, 1, 1);
    INSERT INTO Kvd102Whl VALUES
      (220001, 1, 1, 'L', NULL),
      (220002, 1, 1, NULL, '#W1'),
      (220002, 5, 2, NULL, '#W2'),
      (220002, 6, 1, NULL, '#W2'), (220002, 6, 1, NULL, '#W3');
  )");
  auto db = inst.Connected();
  // Line 2's code exists in another language only: line 3 is not read either.
  Lines missing = ReadTerminal(*db, "T1");
  EXPECT_EQ(missing.end, 1403);
  ASSERT_EQ(missing.lines.size(), 1u);
  EXPECT_EQ(missing.lines[0].sequence, 1);

  // Two codes for one line: ambiguous, the reading stops at once.
  Lines ambiguous = ReadTerminal(*db, "T2");
  EXPECT_EQ(ambiguous.end, sqlhlp::kTooManyRows);
  EXPECT_TRUE(ambiguous.lines.empty());
}

TEST(DisplayTexts, TableTakesLinesOneToEightOfTheTerminalsClient) {
  Installation inst(kTerminal + R"(
    INSERT INTO Kvd1140Trm VALUES ('T9','7744-010','S1',4,1,1,1);
    INSERT INTO Kvd119Msd VALUES
      ('S1', 0, NULL, 'Null',   1, 1, 'A', 1, 1, 1),
      ('S1', 1, NULL, 'Eins',   1, 1, 'A', 1, 1, 1),
      ('S1', 2, NULL, 'Zwei',   1, 1, 'A', 1, 1, 1),
      ('S1', 3, NULL, 'Drei',   1, 1, 'A', 1, 1, 4),
      ('S1', 4, NULL, 'Vier',   7, 1, 'A', 1, 1, 1),
      ('S1', 5, NULL, 'Fuenf',  7, 7, 'KORVANE', 1, 1, 1),
      ('S1', 9, NULL, 'Neun',   1, 1, 'A', 1, 1, 1),
      ('S3', 6, NULL, 'Sechs',  1, 1, 'A', 1, 1, 1);
    INSERT INTO Kvd102Whl VALUES (220001, 1, 1, 'L', NULL), (220002, 1, 1, NULL, '#W1');
  )");
  auto db = inst.Connected();
  Lines got = ReadTerminal(*db, "T1");
  EXPECT_EQ(got.end, 1403);
  DisplayLineTable table{};
  std::vector<int> stored;
  for (const DisplayLine& line : got.lines)
    if (StoreDisplayLine(table, line)) stored.push_back(line.sequence);
  // 3 is withdrawn, 4 belongs to another client, 5 serves every client; 0 and 9 have no slot.
  EXPECT_EQ(stored, (std::vector<int>{1, 2, 5}));
  EXPECT_EQ(got.lines.size(), 5u);
  EXPECT_BYTES("Eins         ", table[0].label);
  EXPECT_BYTES("Fuenf        ", table[4].label);
  for (int empty : {3, 4, 6, 7, 8}) {
    EXPECT_EQ(table[empty - 1].label, "") << empty;
    EXPECT_EQ(table[empty - 1].valueCode, "") << empty;
    EXPECT_EQ(table[empty - 1].value, "") << empty;
  }

  // A withdrawn terminal shows no lines.
  EXPECT_TRUE(ReadTerminal(*db, "T9").lines.empty());
}

TEST(DisplayTexts, EntityReplacementTakesTheFirstAndCutsToTwelve) {
  std::string text = "&#241;&#241;";
  ReplaceNTildeEntity(text);
  EXPECT_BYTES("\xF1&#241;", text);
  text = "abcdefghijk&#241;";  // 11 letters: the byte is the 12th character
  ReplaceNTildeEntity(text);
  EXPECT_BYTES("abcdefghijk\xF1", text);
  text = "abcdefghijkl&#241;";
  ReplaceNTildeEntity(text);
  EXPECT_BYTES("abcdefghijkl", text);
  text = "&#241";  // incomplete: stays
  ReplaceNTildeEntity(text);
  EXPECT_BYTES("&#241", text);
}

}  // namespace
}  // namespace zibrolt::test
