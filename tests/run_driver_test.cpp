// zibrolt as a whole: parameters, settings, connect and the download file, checked by exit
// status and standard output byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "frame/settings.hpp"
#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

const std::string kUsage =
    "Aufruf: ZIBROLT [Param1] [Param2] [Param3] [Param4] /d \n"
    "Param1: DNL-Funktion\n"
    "Param2: Terminal-Name\n"
    "Param3: Pfad der DNL-Datei\n"
    "Param4: 1: neu 0: dran h\xE4ngen\n";

TEST(RunDriver, FewerThanFourParametersPrintUsageAndTouchNothing) {
  Installation inst;
  inst.WriteOut("old");
  // --changes FILE before the parameters does not count among them.
  const std::string log = (inst.root() / "changes.csv").string();
  for (const bool changes : {false, true})
    for (int given = 0; given <= 3; ++given) {
      std::vector<std::string> args{"MGDNL31P", "T1", inst.OutPath().string()};
      args.resize(given);
      if (changes) args.insert(args.begin(), {"--changes", log});
      RunResult r = inst.Run(args);
      EXPECT_EQ(r.exitStatus, 255);
      EXPECT_BYTES(
          "Anzahl Parameter(mind. 4) unterschritten! AnzParam: " + std::to_string(given) + kUsage,
          r.output);
    }
  EXPECT_EQ(inst.ReadOut(), "old");
  EXPECT_FALSE(std::filesystem::exists(log));
  // Asked for, the call lines are an answer, in ASCII for a screen of any encoding.
  for (const char* help : {"--help", "-h"}) {
    const RunResult r = inst.Run({help});
    EXPECT_EQ(r.exitStatus, 0) << help;
    std::string ascii = kUsage;
    ascii.replace(ascii.find('\xE4'), 1, "ae");
    ascii += "Vor Param1: --changes DATEI  jede Aenderung der Downloaddatei an DATEI anhaengen\n";
    EXPECT_BYTES(ascii, r.output);
  }
  // The release and the SQLite library the program runs with, for a site's fault report.
  const RunResult version = inst.Run({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.output.rfind("zibrolt 1.", 0), 0u) << version.output;
  EXPECT_NE(version.output.find("(SQLite 3."), std::string::npos) << version.output;
}

// T1 is a terminal without badges; T8 is withdrawn.
const char* const kTerminals =
    "INSERT INTO Kvd1140Trm VALUES ('T1','M','S',1,1,1,1), ('T8','M','S',8,1,1,1);";

TEST(RunDriver, ModeOneCreatesAnythingElseAppends) {
  Installation inst(kTerminals);
  for (std::string mode : {"1", "10", "0", "2", "x", ""}) {
    inst.WriteOut("old");
    EXPECT_EQ(inst.Generate("idstamm", "T1", "out.dnl", mode).exitStatus, 0);
    EXPECT_EQ(inst.ReadOut(), mode[0] == '1' ? "" : "old") << "mode '" << mode << "'";
  }
  // Append mode creates a missing file.
  EXPECT_EQ(inst.Generate("IDSTAMM", "T1", "new.dnl", "0").exitStatus, 0);
  EXPECT_TRUE(std::filesystem::exists(inst.OutPath("new.dnl")));
}

// A mistyped function or terminal must not empty the terminal's file, and the run fails, so that
// a file no longer renewed shows in the exit status; a withdrawn terminal gets the file it has
// always got, and a line says why it holds no badges.
TEST(RunDriver, UnknownFunctionOrTerminalKeepsTheFile) {
  Installation inst(kTerminals);
  const struct {
    const char* function;
    const char* terminal;
    int exitStatus;
    const char* lines;  // after the connect line
    const char* file;   // afterwards, "old" before
  } kCases[] = {
      {"mgdnl99p", "T1", 255, "DNL-Funktion MGDNL99P unbekannt, keine Datei geschrieben!\n", "old"},
      {"MGDNL31P", "t1", 255, "Terminal t1 nicht gefunden, Downloaddatei bleibt unveraendert!\n",
       "old"},
      {"MGDNL31P", "T1 ", 255, "Terminal T1  nicht gefunden, Downloaddatei bleibt unveraendert!\n",
       "old"},
      {"IDSTAMM", "T8", 0,
       "Terminal T8 ist gesperrt (Status 4 oder 8)!\nAusweise gesamt: 0 davon in Datei "
       "gestellt: 0\n",
       ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.function) + " " + c.terminal);
    inst.WriteOut("old");
    const RunResult r = inst.Generate(c.function, c.terminal);
    EXPECT_EQ(r.exitStatus, c.exitStatus);
    EXPECT_BYTES(kConnected + c.lines, r.output);
    EXPECT_EQ(inst.ReadOut(), c.file);
    EXPECT_EQ(inst.OutFolderEntries(), std::vector<std::string>{"out.dnl"});
  }
}

TEST(RunDriver, SchemaLosesItsLastCharacterAndIsUpperCased) {
  Login login;
  login.schema = "abcd";  // stored as "abcd#"
  Installation inst({}, login);
  RunResult r = inst.Generate("X", "T1");
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_BYTES(
      "DB-Connect-Error: -1435!Name:demo Pwd:******** Net:" + inst.Net() + " Schema:ABCD\n",
      r.output);

  login.schema = "korvadat";
  inst.WriteSettings(login);
  EXPECT_EQ(inst.Generate("X", "T1").output.rfind(kConnected, 0), 0u);
}

TEST(RunDriver, ConnectFailureMasksThePasswordAndTouchesNoFile) {
  Login login;
  login.net = "sqlite:../../db/missing.db";
  login.password = "p/w@x";
  Installation inst({}, login);
  inst.WriteOut("old");
  RunResult r = inst.Generate("IDSTAMM", "T1");
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_BYTES(
      "DB-Connect-Error: -14!Name:demo Pwd:******** Net:sqlite:../../db/missing.db "
      "Schema:KORVADAT\n",
      r.output);
  EXPECT_EQ(inst.ReadOut(), "old");
  EXPECT_FALSE(std::filesystem::exists(inst.root() / "db" / "missing.db"));
}

TEST(RunDriver, MissingSettingsOrSchemaStopBeforeConnecting) {
  Installation inst;
  std::filesystem::remove(inst.root() / "files" / "quarvenda.ini");
  RunResult r = inst.Generate("X", "T1");
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_BYTES(
      std::string("Einstellungsdatei ") + kSettingsPath + " konnte nicht geoeffnet werden!\n",
      r.output);
  EXPECT_FALSE(std::filesystem::exists(inst.OutPath()));

  inst.WriteSettingsText("");
  r = inst.Generate("X", "T1");
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_BYTES("Einstellung SCHEMA fehlt!\n", r.output);
  EXPECT_FALSE(std::filesystem::exists(inst.OutPath()));
}

TEST(RunDriver, OverlongParametersAndSettingsAreRefused) {
  Installation inst;
  RunResult r = inst.Run({"MGDNL31P-UND-NOCH-MEHR", "T1", inst.OutPath().string(), "1"});
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_BYTES("Param1 (DNL-Funktion) zu lang: 22 Zeichen, erlaubt sind hoechstens 19!\n",
               r.output);
  r = inst.Generate("X", std::string(256, 'T'));
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_BYTES("Param2 (Terminal-Name) zu lang: 256 Zeichen, erlaubt sind hoechstens 255!\n",
               r.output);
  r = inst.Run({"X", "T1", "/tmp/" + std::string(195, 'p'), "1"});
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_BYTES("Param3 (Pfad der DNL-Datei) zu lang: 200 Zeichen, erlaubt sind hoechstens 199!\n",
               r.output);
  Login login;
  login.password = std::string(51, 'x');
  inst.WriteSettings(login);
  r = inst.Generate("X", "T1");
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_BYTES("Einstellung PASS zu lang: 51 Zeichen, erlaubt sind hoechstens 50!\n", r.output);
  EXPECT_FALSE(std::filesystem::exists(inst.OutPath()));
}

TEST(RunDriver, UnwritableFolderIsReported) {
  Installation inst;
  RunResult r = inst.Run({"IDSTAMM", "T1", (inst.root() / "no-such-dir" / "f.dnl").string(), "1"});
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_BYTES(kConnected + "Downloadfile " + (inst.root() / "no-such-dir" / "f.dnl").string() +
                   " konnte nicht geoeffnet werden!\n",
               r.output);
}

TEST(RunDriver, WriteErrorsKeepTheOldFile) {
#ifdef _WIN32
  GTEST_SKIP() << "/dev/full, ulimit and file modes are POSIX";
#else
  Installation inst(kTerminals);
  // A device is written in place; /dev/full refuses every byte.
  RunResult r = inst.Run({"IDSTAMM", "T1", "/dev/full", "1"});
  EXPECT_EQ(r.exitStatus, 0) << "nothing written, nothing to fail";

  // A regular file beyond the size limit: the write fails and the old file stays.
  inst.WriteOut("old");
  std::filesystem::permissions(inst.OutPath(), std::filesystem::perms(0640));
  r = inst.RunCommand("ulimit -f 0; trap '' XFSZ; exec '" ZIBROLT_BIN "' IDSTAMM T1 '" +
                      inst.OutPath().string() + "' 0");
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_BYTES(kConnected + "Ausweise gesamt: 0 davon in Datei gestellt: 0\n" +
                   "Fehler beim Schreiben der Downloaddatei " + inst.OutPath().string() + "!\n",
               r.output);
  EXPECT_EQ(inst.ReadOut(), "old");
  EXPECT_EQ(inst.OutFolderEntries(), std::vector<std::string>{"out.dnl"});

  // Lines that cannot reach the log: the run fails and the old file stays.
  r = inst.RunCommand("exec '" ZIBROLT_BIN "' IDSTAMM T1 '" + inst.OutPath().string() +
                      "' 1 > /dev/full");
  EXPECT_EQ(r.exitStatus, 255);
  EXPECT_EQ(inst.ReadOut(), "old");

  // A successful replace keeps the target's permissions.
  EXPECT_EQ(inst.Generate("IDSTAMM", "T1", "out.dnl", "0").exitStatus, 0);
  struct stat st {};
  ::stat(inst.OutPath().c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
}

}  // namespace
}  // namespace zibrolt::test
