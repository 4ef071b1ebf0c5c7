// zibrolt-check run as a site administrator runs it, on a sound installation and on ones with
// one fault each: the lines it must print and its exit status. The current file given for a
// comparison must come out untouched.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "frame/version.hpp"
#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

// One terminal with one badge that has a class the terminal lists, and a withdrawn terminal.
const char* const kSite = R"sql(
INSERT INTO Kvd1140Trm VALUES ('T1', '7744-010', 'TSAL', 1, 1, 1, 1), ('ALT', 'M', 'S', 8, 1, 1, 1);
INSERT INTO MGSST35P VALUES ('T1', '10', '0');
INSERT INTO Kvd301Asw VALUES ('1001', date('now','localtime','-10 days'), NULL,
   'P', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1);
INSERT INTO Kvd113Awv VALUES ('1001', NULL, 1, 1);
INSERT INTO Kvd301Awb VALUES ('1001', '10');
)sql";

struct Case {
  const char* name;
  const char* sql;   // run on the sound installation first
  std::string args;  // after the program
  int exitStatus;
  std::vector<std::string> lines;  // each the start of a line of the output
};

TEST(Check, ReportsEachPoint) {
  const Case cases[] = {
      {"sound",
       "",
       "--terminal T1 --function mgdnl31p",
       0,
       {"OK    Tabelle O2002TSW lesbar", "OK    Anweisung Salden vorbereitet und ausgefuehrt",
        "OK    Anweisung Salden Fenster vorbereitet und ausgefuehrt",
        "OK    Anweisung Anzeigezeilen Ausweis Fenster vorbereitet und ausgefuehrt",
        "OK    Anweisung Leser vorbereitet und ausgefuehrt", "OK    Index auf O2002TSW.TSWIDN",
        "OK    Verknuepfung KVD113AWV.AWVNUM=KVD301ASW.ASWNUM: TEXT / TEXT",
        "OK    Terminal T1: Modell 7744-010, Textsatz TSAL, 0 Mandanten-/Lizenzzuordnungen",
        "OK    MGDNL31P: 1 Ausweise wuerden geschrieben (1 gelesen)",
        "OK    Datumsspalten AswGvo und AswGbi: jeder Wert leer oder ein Datum"}},
      // The badge and the value as stored, a control byte made visible.
      {"dates that are no date",
       "INSERT INTO Kvd301Asw (AswNum, AswGvo, AswGbi) VALUES ('1003', '2030-01-01', "
       "'2030-02-30'), ('1002', '31.12.2030' || char(9), ''), ('1004', '', '');",
       "",
       1,
       {"FAIL  2 Ausweiszeilen mit einem Datum, das keines ist, z. B. Ausweis 1002: AswGvo "
        "'31.12.2030\\x09': zibrolt bricht dort ab"}},
      {"missing table (no grant)",
       "DROP TABLE O2002TSW;",
       "",
       1,
       {"FAIL  Tabelle O2002TSW nicht lesbar, SQLCode ",
        "FAIL  Anweisung Salden fehlerhaft, SQLCode "}},
      {"missing column",
       "DROP INDEX Kvd113Sto_Num; ALTER TABLE Kvd113Sto DROP COLUMN StoKtx;",
       "",
       1,
       {"OK    Tabelle KVD113STO lesbar", "FAIL  Anweisung Standort fehlerhaft, SQLCode ",
        "FAIL  Anweisung Standort Fenster fehlerhaft, SQLCode "}},
      {"key types differ, CHAR key, no index",
       "DROP INDEX O2002TSW_Row; DROP TABLE Kvd113Awv; CREATE TABLE Kvd113Awv (AWVNUM INTEGER, "
       "AwvSto INTEGER, AWVCOD INTEGER, AwvSta INTEGER); DROP TABLE Kvd301Awb; CREATE TABLE "
       "Kvd301Awb (AWBASW CHAR(10), AWBBKL TEXT);",
       "",
       0,
       {"WARN  Verknuepfung KVD113AWV.AWVNUM=KVD301ASW.ASWNUM: INTEGER / TEXT, Typen "
        "verschieden: verglichen wird erst nach Umwandlung",
        "WARN  Schluessel KVD301AWB.AWBASW: CHAR(10), CHAR mit Leerzeichen aufgefuellt: "
        "ein Text findet ihn nur als CHAR gebunden",
        "WARN  Kein Index beginnt mit O2002TSW.TSWIDN: jede Abfrage je Ausweis liest die ganze "
        "Tabelle",
        "WARN  Kein Index beginnt mit KVD113AWV.AWVNUM: jede Abfrage je Ausweis liest die ganze "
        "Tabelle"}},
      {"badge key of another type than the list's",
       "DROP TABLE Kvd301Awb; CREATE TABLE Kvd301Awb (AWBASW INTEGER, AWBBKL TEXT);",
       "",
       0,
       {"WARN  Schluessel KVD301AWB.AWBASW: INTEGER, die Ausweisnummer der Ausweisliste "
        "KVD301ASW.ASWNUM aber TEXT: verglichen wird nach Umwandlung, Ausweis 0100001 bekommt "
        "dann die Zeilen von 100001"}},
#ifndef _WIN32
      // Read to its end, a device would never end; a FIFO would wait in its open.
      {"current file that is no file",
       "",
       "--terminal T1 --function mgdnl31p --current /dev/zero",
       1,
       {"FAIL  Aktuelle Datei /dev/zero ist keine normale Datei (FIFO, Geraet): nicht verglichen",
        "OK    MGDNL31P: 1 Ausweise wuerden geschrieben (1 gelesen)"}},
#endif
      {"unknown terminal",
       "",
       "--terminal T2",
       1,
       {"FAIL  Terminal T2 nicht gefunden (Schreibweise, Gross-/Kleinschreibung, Leerzeichen?)"}},
      {"withdrawn terminal",
       "",
       "--terminal ALT",
       0,
       {"WARN  Terminal ALT ist zurueckgezogen (Status 8): zibrolt schreibt eine leere Liste"}},
      {"settings elsewhere",
       "",
       "--settings ../nowhere.ini",
       1,
       {"FAIL  Einstellungsdatei ../nowhere.ini nicht lesbar", "Ergebnis: 0 OK, 0 WARN, 1 FAIL"}},
      {"usage", "", "--current x.dnl --terminal T1", 2, {}},
      {"statement list with other arguments", "", "--statements --terminal T1", 2, {}},
      {"version", "", "--version", 0, {VersionLine("zibrolt-check")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Installation inst(kSite);
    inst.Sql(c.sql);
    const RunResult r = inst.RunCommand("'" ZIBROLT_CHECK_BIN "' " + c.args + " 2>/dev/null");
    EXPECT_EQ(r.exitStatus, c.exitStatus) << r.output;
    for (const std::string& line : c.lines)
      EXPECT_NE(("\n" + r.output).find("\n" + line), std::string::npos) << line << "\n--- in:\n"
                                                                        << r.output;
  }
}

// The statement list is an SQL*Plus script of every form, zibrolt's and the check's own, read
// from neither settings nor database: each statement after its "-- name" line, then "/"; the
// windows bind 1,000 numbers and their count.
TEST(Check, StatementListIsAScriptOfEveryForm) {
  const std::filesystem::path dir = NewTemporaryFolder("/tmp/zibrolt-test-");
  const RunResult r = Shell("'" ZIBROLT_CHECK_BIN "' --statements 2>&1", dir);
  std::filesystem::remove_all(dir);
  ASSERT_EQ(r.exitStatus, 0) << r.output;
  ASSERT_TRUE(r.output.starts_with("-- zibrolt ")) << r.output.substr(0, 200);
  std::size_t statements = 0, windows = 0;
  for (std::size_t at = r.output.find('\n') + 1, end; at < r.output.size(); at = end + 3) {
    end = r.output.find("\n/\n", at);
    ASSERT_NE(end, std::string::npos) << r.output.substr(at, 200);
    const std::string block = r.output.substr(at, end - at);
    // Comment lines (a part's title, then the statement's name), then the statement.
    std::size_t textAt = 0;
    while (block.compare(textAt, 3, "-- ") == 0) textAt = block.find('\n', textAt) + 1;
    ASSERT_GT(textAt, 0u) << block;
    const std::string text = block.substr(textAt);
    EXPECT_TRUE(text.starts_with("select ") || text == "SET TRANSACTION READ ONLY" ||
                text == "ALTER SESSION SET CURRENT_SCHEMA=KORVADAT")
        << block.substr(0, 200);
    EXPECT_EQ(text.find('\n'), std::string::npos) << block.substr(0, 200);
    ++statements;
    if (block.find(" Fenster\n") != std::string::npos) {
      ++windows;
      EXPECT_NE(text.find(" ,:b999 from dual)) where i<:b1000) keys"), std::string::npos);
      EXPECT_EQ(text.find("{keys}"), std::string::npos);
    }
  }
  EXPECT_EQ(windows, 6u);  // the balances' three forms among them
  EXPECT_GE(statements, 40u);
}

// Without a temporary folder the dry run has nowhere to write: a FAIL that says so, not an abort.
TEST(Check, MissingTemporaryFolderIsAFailWithItsReason) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows takes its temporary folder from TMP and TEMP";
#endif
  Installation inst(kSite);
  inst.SetRunEnvironment({"TMPDIR=/nonexistent/zibrolt"});
  const RunResult r = inst.RunCommand("'" ZIBROLT_CHECK_BIN "' --terminal T1 2>&1");
  EXPECT_EQ(r.exitStatus, 1) << r.output;
  EXPECT_NE(r.output.find("\nFAIL  MGDNL31P: kein Ordner fuer temporaere Dateien (TMPDIR?): "),
            std::string::npos)
      << r.output;
}

// Stopped during a dry run, the check removes the dry run's file (a terminal's badge data) and
// still ends with a verdict line and one of its statuses.
TEST(Check, InterruptRemovesTheDryRunsFile) {
#ifdef _WIN32
  GTEST_SKIP() << "signals are POSIX";
#else
  Installation inst(std::string(kSite) + R"sql(
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000)
INSERT INTO Kvd301Asw SELECT 200000 + i, date('now','localtime','-10 days'), NULL, 'P', 'Z', 'G',
  NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1 FROM n;
INSERT INTO Kvd113Awv SELECT AswNum, NULL, 1, 1 FROM Kvd301Asw WHERE AswNum > '2';
INSERT INTO Kvd301Awb SELECT AswNum, '10' FROM Kvd301Asw WHERE AswNum > '2';
)sql");
  const std::filesystem::path temporary = NewTemporaryFolder("/tmp/zibrolt-test-");
  inst.SetRunEnvironment({"TMPDIR=" + temporary.string()});
  // The signal as soon as the first dry run's file is there (at most 10 seconds on).
  const RunResult r =
      inst.RunCommand("'" ZIBROLT_CHECK_BIN
                      "' --terminal T1 >lines 2>&1 & pid=$!; i=0; while [ $i -lt 1000 ] && "
                      "[ -z \"$(ls '" +
                      temporary.string() +
                      "')\" ]; do sleep 0.01; i=$((i+1)); done; "
                      "kill -TERM $pid; wait $pid; echo \"status $?\"; cat lines");
  EXPECT_TRUE(r.output.starts_with("status 1\n")) << r.output;
  EXPECT_TRUE(r.output.ends_with("\nFAIL  Abbruch durch ein Signal, temporaere Datei entfernt\n"))
      << r.output;
  EXPECT_TRUE(std::filesystem::is_empty(temporary));
  std::filesystem::remove_all(temporary);
#endif
}

// The comparison sees the badge the current file lacks; the current file stays as it was.
TEST(Check, ComparesWithTheCurrentFileWithoutTouchingIt) {
  Installation inst(kSite);
  inst.WriteOut("");
  const std::string path = inst.OutPath().string();
  const RunResult r = inst.RunCommand(
      "'" ZIBROLT_CHECK_BIN "' --terminal T1 --function MGDNL31P --current '" + path + "'");
  EXPECT_EQ(r.exitStatus, 0) << r.output;
  EXPECT_NE(r.output.find("      badges: 1 added, 0 removed, 0 changed, 0 unchanged\n"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(inst.ReadOut(), "");
}

}  // namespace
}  // namespace zibrolt::test
