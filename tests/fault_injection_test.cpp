// Every database operation and every file write of a run, failed one at a time: whatever fails,
// the run ends with -1 and a message naming the failure, while the old download file stays byte
// for byte as it was (no temporary file left beside it). The runs are made in this process so that
// the seam can be armed.
#include "client/fault_injection.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/run_driver.hpp"
#include "generators/registry.hpp"
#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

namespace fs = std::filesystem;

// One terminal with client assignments, readers 1, 2, 3 and 7, time and access classes, a
// display set with date, balance and information text; badges with and without classes,
// location, balance row and a display set of their own, one listed twice, one without rights.
const std::string kInstallation = R"sql(
INSERT INTO Kvd1140Trm VALUES ('T1', '7744-010', 'TS', 1, 1, 1, 1);
INSERT INTO Kvd115Tfz VALUES ('T1', 1, 1, 1);
INSERT INTO Kvd401Zls VALUES ('T1', 1, 'Z', 1), ('T1', 2, 'Z', 1), ('T1', 3, 'Z', NULL),
                             ('T1', 7, 'Z', 1);
INSERT INTO MGSST35P VALUES ('T1', 'Z', '1'), ('T1', '10', '0'), ('T1', '20', '0');
INSERT INTO Kvd113Sto VALUES (12, 'Nord', 1), (30, 'Halle', 1);
INSERT INTO Kvd301Asw VALUES
  ('1001', date('now','localtime','-10 days'), date('now','localtime','+10 days'), 'P1001', 'Z',
   'G', NULL, 1, 'OWN', NULL, 1, '1234', 1, 1, 1),
  ('1002', NULL, NULL, 'P1002', 'Z', 'G', NULL, 2, NULL, NULL, 1, NULL, 1, 1, 1),
  ('1003', date('now','localtime','-20 days'), NULL, 'P1003', '10', 'G', NULL, 1, NULL, NULL,
   1, NULL, 1, 1, 1),
  ('1003', date('now','localtime','-5 days'), NULL, 'P1003', '10', 'G', NULL, 1, NULL, NULL,
   1, NULL, 1, 1, 1),
  ('1004', NULL, NULL, 'P1004', 'X', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  ('1005', NULL, NULL, 'P1005', 'Z', 'G', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1);
INSERT INTO Kvd113Awv VALUES ('1001', 12, 1, 1), ('1002', NULL, 1, 1), ('1003', 30, 1, 1),
                             ('1004', 12, 1, 1), ('1005', 30, 1, 1);
INSERT INTO Kvd301Awb VALUES ('1001', 'Z'), ('1001', '10'), ('1001', '20'), ('1002', 'Z'),
                             ('1003', '10'), ('1004', 'X'), ('1005', 'Z'), ('1005', '20');
INSERT INTO O2002TSW (TSWIDN, TswW01, TswW02, TswW09, TswF01) VALUES
  ('1001', 'X', '-  12,50', '+   8,00', 'Info eins'),
  ('1003', 'X', '+   3,25', '-   1,00', 'Info drei'),
  ('1005', 'X', '+   0,50', '+   0,75', NULL);
INSERT INTO Kvd102Whl VALUES
  (220001, 1, 1, 'Datum', NULL), (220001, 2, 1, 'Saldo', NULL), (220001, 3, 1, 'Info', NULL),
  (220002, 1, 1, NULL, '#W1'), (220002, 2, 1, NULL, '#W2'), (220002, 3, 1, NULL, '#W21'),
  (220002, 4, 1, NULL, '#W9');
INSERT INTO Kvd119Msd VALUES
  ('TS', 1, NULL, NULL, 1, 1, 'ADMIN', 1, 1, 1), ('TS', 2, NULL, NULL, 1, 1, 'ADMIN', 2, 2, 1),
  ('TS', 3, NULL, NULL, 1, 1, 'ADMIN', 3, 3, 1),
  ('OWN', 1, NULL, 'Eigen', 1, 1, 'ADMIN', 2, 4, 1), ('OWN', 2, NULL, NULL, 1, 1, 'ADMIN', 1, 1, 1);
)sql";

// Every download function of the registry, with its record length (0: lines ended by CR LF).
struct Function {
  std::string name;
  std::size_t recordLength;
};
std::vector<Function> Functions() {
  std::vector<Function> functions;
  for (const DownloadFunction& f : DownloadFunctions())
    functions.push_back({std::string(f.name), static_cast<std::size_t>(f.layout.recordLength)});
  return functions;
}

struct InProcessRun {
  int status;
  std::string output;
};

// Runs the tool in this process from the installation's working directory.
InProcessRun RunInProcess(const Installation& inst, const std::vector<std::string>& args) {
  const fs::path before = fs::current_path();
  fs::current_path(inst.root() / "work" / "run");
  if (OdbcMode()) SetEnvironment("ODBCINI", inst.OdbcIni().string());
  std::vector<const char*> argv{"zibrolt"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  const CapturedOutput out;
  const int status = RunDriver(static_cast<int>(argv.size()), argv.data(), out.get());
  fs::current_path(before);
  return {status, out.Text()};
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The first table a statement reads, lower-case and without the schema.
std::string FirstTable(std::string_view statement) {
  const std::string text = Lower(statement);
  // A window statement's first table follows the list of bound badge numbers it joins.
  std::size_t at = text.find(") keys ,");
  if (at != std::string::npos) {
    at += 8;
  } else {
    at = text.find(" from ");
    if (at == std::string::npos) return {};
    at += 6;
  }
  if (text.compare(at, 9, "korvadat.") == 0) at += 9;
  return text.substr(at, text.find_first_of(" ,)", at) - at);
}

// The line that names a failed lookup of the badges' values: balances, location, display
// texts; empty for the other statements.
std::string LookupLine(std::string_view function, std::string_view statement) {
  const std::string text = Lower(statement);
  if (text.find("kvd119msd") != std::string::npos) return "Anzeigetexte von ";
  if (FirstTable(text) == "o2002tsw") return "Saldodaten von Ausweis ";
  if (FirstTable(text) != "kvd113sto") return {};
  return function == "MGDNL17P" ? "SQL Standortbez. Ermitteln. SQLCode:" : "Standort von Ausweis ";
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The file is whole: records of the function's length, or complete CR LF lines.
void ExpectWholeRecords(const Function& f, const std::string& content) {
  if (f.recordLength != 0) {
    EXPECT_EQ(content.size() % f.recordLength, 0u) << content.size() << " bytes";
  } else {
    EXPECT_TRUE(content.empty() || EndsWith(content, "\r\n"));
    for (std::size_t at = 0; (at = content.find('\n', at)) != std::string::npos; ++at)
      EXPECT_TRUE(at > 0 && content[at - 1] == '\r') << "bare line feed at " << at;
  }
}

const char* PointName(faults::Point point) {
  switch (point) {
    case faults::Point::kExecute:
      return "execute";
    case faults::Point::kFetch:
      return "fetch";
    case faults::Point::kWrite:
      return "write";
    case faults::Point::kViewLost:
      return "view lost";
  }
  return "?";
}

// Fails the 1st, 2nd, ... occurrence of point in a run of f until a run goes through unhurt,
// checking what each failure left behind. Returns how many failures were injected.
int WalkFailures(const Installation& inst, const Function& f, const std::string& mode,
                 faults::Point point, const std::string& old) {
  const fs::path target = inst.OutPath("out.dnl");
  const std::vector<std::string> args{f.name, "T1", target.string(), mode};
  const std::string abortLine =
      std::string("Programmabbruch: Fehler bei Erstellung der Datei ") + f.name + "!\n";
  const std::string writeLine =
      "Fehler beim Schreiben der Downloaddatei " + target.string() + "!\n";
  const std::string injected = std::to_string(faults::kInjectedStatus);

  int injectedCount = 0;
  for (std::uint64_t n = 1; n < 10000; ++n) {
    inst.WriteOut(old);
    faults::Arm(point, n);
    InProcessRun run = RunInProcess(inst, args);
    const bool fired = faults::Fired();
    const std::string failed(faults::Failed());
    faults::Disarm();
    if (!fired) {
      EXPECT_EQ(run.status, 0) << run.output;
      return injectedCount;
    }
    ++injectedCount;
    SCOPED_TRACE(std::string(f.name) + " mode " + mode + ", " + PointName(point) + " " +
                 std::to_string(n) + " failed: " + failed + "\noutput:\n" + run.output);
    EXPECT_EQ(inst.OutFolderEntries(), std::vector<std::string>{"out.dnl"});
    const std::string content = inst.ReadOut();

    EXPECT_EQ(run.status, -1);
    EXPECT_BYTES(old, content);
    if (point == faults::Point::kWrite) {
      EXPECT_TRUE(EndsWith(run.output, writeLine));
      continue;
    }
    // The bind probe of an ODBC connect: the run stops before it opens its file.
    if (failed.find("dump(") != std::string::npos ||
        failed.find("else 'VARCHAR2'") != std::string::npos) {
      EXPECT_NE(run.output.find("SQLCode " + injected + "!\n"), std::string::npos);
      EXPECT_TRUE(EndsWith(run.output, "Keine Downloaddatei geschrieben!\n"));
      continue;
    }
    const std::string table = FirstTable(failed);
    if (const std::string line = LookupLine(f.name, failed); !line.empty()) {
      EXPECT_NE(run.output.find(line), std::string::npos);
      EXPECT_NE(run.output.find(injected + "\n"), std::string::npos);
      EXPECT_TRUE(EndsWith(run.output, abortLine));
      continue;
    }
    if (table == "kvd1140trm" || table == "kvd115tfz") {
      EXPECT_TRUE(EndsWith(run.output,
                           "Terminal T1 konnte nicht gelesen werden! SQLCode:" + injected + "\n"));
      continue;
    }
    EXPECT_TRUE(EndsWith(run.output, abortLine));
    EXPECT_NE(run.output.find("Ausweise gesamt: "), std::string::npos);
    if (table == "mgsst35p" || table == "kvd401zls" || table == "kvd301awb") {
      EXPECT_NE(run.output.find(" nicht lesbar! SQLCode:" + injected + "\n"), std::string::npos);
    } else {
      EXPECT_EQ(table, "kvd301asw");  // the badge list itself
    }
    if (f.name == "MGDNL17P") {
      EXPECT_NE(run.output.find("FehlerCode EndWorkMgDnl17P: "), std::string::npos);
    }
  }
  ADD_FAILURE() << "the run never completed";
  return injectedCount;
}

TEST(FaultInjection, EveryFailureKeepsTheOldFileAndSaysWhy) {
  Installation inst(kInstallation);
  for (const Function& f : Functions()) {
    // The complete file, and the old content that a failed run must leave as it is.
    InProcessRun complete = RunInProcess(inst, {f.name, "T1", inst.OutPath().string(), "1"});
    ASSERT_EQ(complete.status, 0) << complete.output;
    const std::string fresh = inst.ReadOut();
    ASSERT_FALSE(fresh.empty()) << f.name;
    ExpectWholeRecords(f, fresh);
    const std::string old = fresh + fresh;  // differs from any one run's file

    for (const std::string mode : {"1", "0"}) {
      int total = 0;
      for (faults::Point point :
           {faults::Point::kExecute, faults::Point::kFetch, faults::Point::kWrite}) {
        const int injected = WalkFailures(inst, f, mode, point, old);
        EXPECT_GT(injected, 0) << f.name << " " << PointName(point);
        total += injected;
      }
      RecordProperty(std::string(f.name) + "_mode" + mode, total);
    }
  }
}

// The lookups of the badges' values must really have been failed by the walk above, or their
// lines tested there would never have been seen: each function reaches its lookups.
TEST(FaultInjection, WalkReachesTheValueLookups) {
  Installation inst(kInstallation);
  auto statementsOf = [&](const char* function) {
    std::vector<std::string> failed;
    for (std::uint64_t n = 1; n < 10000; ++n) {
      faults::Arm(faults::Point::kExecute, n);
      RunInProcess(inst, {function, "T1", inst.OutPath().string(), "1"});
      const bool fired = faults::Fired();
      failed.emplace_back(faults::Failed());
      faults::Disarm();
      if (!fired) break;
    }
    return failed;
  };
  auto reaches = [](const std::vector<std::string>& failed, const char* table) {
    return std::any_of(failed.begin(), failed.end(), [&](const std::string& s) {
      return Lower(s).find(table) != std::string::npos;
    });
  };
  const auto s17 = statementsOf("MGDNL17P");
  EXPECT_TRUE(reaches(s17, "o2002tsw") && reaches(s17, "kvd113sto") && reaches(s17, "kvd401zls"));
  const auto s18 = statementsOf("MGDNL18P");
  EXPECT_TRUE(reaches(s18, "o2002tsw") && reaches(s18, "kvd119msd"));
  EXPECT_TRUE(reaches(statementsOf("MGDNL31P"), "kvd113sto"));
}

}  // namespace
}  // namespace zibrolt::test
