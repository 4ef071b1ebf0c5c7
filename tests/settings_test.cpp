// The settings file reader with the quirks that existing files depend on.
#include "frame/settings.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "frame/cipher.hpp"
#include "tests/harness.hpp"
#include "tools/settings/encipher.hpp"

namespace zibrolt {
namespace {

std::string Enc(std::string_view plain) { return EncryptValue(plain, kSettingsKey); }

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test::NewTemporaryFolder("/tmp/zibrolt-ini-"); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  SettingsEntry Lookup(std::string_view text, std::string_view key) {
    test::WriteFile(dir_ / "s.ini", text);
    SettingsEntry entry;
    EXPECT_TRUE(ReadIniEntry("", key, 0, (dir_ / "s.ini").string(), entry));
    return entry;
  }
  std::filesystem::path dir_;
};

TEST(FindNthChar, CountsOccurrencesFromOne) {
  EXPECT_EQ(FindNthChar("a;b;c", ';', 1), 1);
  EXPECT_EQ(FindNthChar("a;b;c", ';', 2), 3);
  EXPECT_EQ(FindNthChar("a;b;c", ';', 5), 3);  // fewer: the last one
  EXPECT_EQ(FindNthChar("abc", ';', 1), -1);
  EXPECT_EQ(FindNthChar("", ';', 1), -1);
}

TEST(CopySubstring, ZeroTakesTheRestAndNegativeLeavesTheDestination) {
  std::string dest = "keep";
  CopySubstring("abcdef", 2, 3, dest);
  EXPECT_EQ(dest, "cde");
  CopySubstring("abcdef", 2, 0, dest);
  EXPECT_EQ(dest, "cdef");
  dest = "keep";
  CopySubstring("abcdef", 2, -1, dest);
  EXPECT_EQ(dest, "keep");
}

TEST_F(SettingsFile, MatchesByKeySectionOrNumberAndFirstWins) {
  const std::string file = ";A;\r\n5;LOGIN;" + Enc("first") + "\r\n;B;\r\n6;LOGIN;" +
                           Enc("second") + "\r\n;C;\r\n7;PASS;" + Enc("pw") + "\r\n";
  SettingsEntry e = Lookup(file, "LOGIN");
  EXPECT_EQ(e.value, "first");
  EXPECT_EQ(e.section, "A");
  EXPECT_EQ(e.number, 5);
  EXPECT_EQ(e.key, "LOGIN");
  EXPECT_EQ(Lookup(file, "PASS").value, "pw");
  // No match: everything empty.
  e = Lookup(file, "NET8");
  EXPECT_EQ(e.value, "");
  EXPECT_EQ(e.key, "");
  EXPECT_EQ(e.number, 0);
  // A record numbered 0 (or with an empty section) placed first answers every lookup.
  EXPECT_EQ(Lookup(";X;\n0;OTHER;" + Enc("zero") + "\n" + file, "PASS").value, "zero");
  EXPECT_EQ(Lookup("only one separator\n9;OTHER;" + Enc("open") + "\n" + file, "PASS").value,
            "open");
  EXPECT_EQ(Lookup("\n9;OTHER;" + Enc("empty") + "\n" + file, "PASS").value, "empty");
}

TEST_F(SettingsFile, EmptyFieldsTakeTheRestOfTheLine) {
  // "x;;y" gives the section ";y" and its line end; "5;;A" the key ";A" and line end.
  SettingsEntry e = Lookup("x;;y\n5;;" + Enc("v") + "\n", "NOPE");
  EXPECT_EQ(e.section, "");  // did not match, so cleared
  test::WriteFile(dir_ / "s.ini", "x;;y\n5;;" + Enc("v") + "\n");
  ASSERT_TRUE(ReadIniEntry(";y\n", "", 99, (dir_ / "s.ini").string(), e));
  EXPECT_EQ(e.section, ";y\n");
  EXPECT_EQ(e.key, ";" + Enc("v") + "\n");
  EXPECT_EQ(e.value, "v");
  // "5;LOGIN;" holds only the line end as value, which deciphers to nothing.
  e = Lookup(";S;\n5;LOGIN;\n", "LOGIN");
  EXPECT_EQ(e.key, "LOGIN");
  EXPECT_EQ(e.value, "");
}

TEST_F(SettingsFile, SeparatorsInDataLines) {
  // "5;LOGIN;A;B": the value keeps its own separators (here they break the hex, so the
  // deciphered value is checked by comparing with the same text deciphered).
  SettingsEntry e = Lookup(";S;\n5;LOGIN;" + Enc("abc") + ";B\n", "LOGIN");
  EXPECT_EQ(e.value, DecryptValue(Enc("abc") + ";B"));
  // "5;LOGIN" (one separator): key empty, value "LOGIN" (deciphered: nothing, too short).
  test::WriteFile(dir_ / "s.ini", ";S;\n5;" + Enc("val") + "\n");
  ASSERT_TRUE(ReadIniEntry("", "", 99, (dir_ / "s.ini").string(), e));
  EXPECT_EQ(e.key, "");
  EXPECT_EQ(e.value, "val");
}

TEST_F(SettingsFile, PairingIsByPosition) {
  // An odd last line is never read as a heading with a data line.
  EXPECT_EQ(Lookup(";S;\n5;NET8;" + Enc("n") + "\n;T;", "PASS").value, "");
  // A heading longer than 198 characters spills into the data line and shifts the pairing.
  std::string longHeading = ";S;" + std::string(200, 'h') + "\n";
  SettingsEntry e = Lookup(longHeading + "5;PASS;" + Enc("pw") + "\n", "PASS");
  EXPECT_EQ(e.value, "");
  // Without CR LF at the end the last value is empty.
  EXPECT_EQ(Lookup(";S;\r\n5;PASS;" + Enc("pw"), "PASS").value, "");
  EXPECT_EQ(Lookup(";S;\r\n5;PASS;" + Enc("pw") + "\r\n", "PASS").value, "pw");
}

TEST_F(SettingsFile, HostileBytesDoNotCrash) {
  EXPECT_EQ(Lookup(std::string("\0\0\0\n\0;PASS;00\n", 14), "PASS").key, "");
  EXPECT_EQ(Lookup(std::string(10000, ';') + "\n" + std::string(10000, 'x'), "PASS").value, "");
  EXPECT_EQ(Lookup(";S;\n5;PASS;ZZZZ\n", "PASS").value, "");
  SettingsEntry e;
  EXPECT_FALSE(ReadIniEntry("", "PASS", 0, (dir_ / "missing.ini").string(), e));
}

TEST_F(SettingsFile, LineEndsAcrossReadBlocks) {
  // The file is read in blocks of 4096 bytes. A heading of the full 198 characters still fits
  // when its CR LF is split between two blocks: were the CR counted, the LF would be read as the
  // data line and the pairing would shift.
  const std::string filler = ";A;\r\n1;X;" + Enc("x") + "\r\n";
  const std::string heading = ";B;" + std::string(195, 'h');
  for (int shift : {-1, 0, 1}) {
    SCOPED_TRACE(shift);
    std::string text;
    while (text.size() + 3 * filler.size() < 4095 - heading.size()) text += filler;
    const std::size_t pad = 4095 + shift - heading.size() - text.size() - filler.size();
    text += ";A;" + std::string(pad, 'h') + filler.substr(3);
    text += heading + "\r\n2;PASS;" + Enc("pw") + "\r\n";
    ASSERT_EQ(text.find("\r\n", 4090), static_cast<std::size_t>(4095 + shift));
    EXPECT_EQ(Lookup(text, "PASS").value, "pw");
  }
}

// What the reader and the settings tool make of files that are not (only) a settings file.
TEST_F(SettingsFile, StatusSaysWhyAFileWasNotSearched) {
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs and /dev/zero are POSIX files";
#else
  const std::string pass = ";S;\n5;PASS;" + Enc("pw") + "\n";
  auto noMatch = [](std::size_t bytes) {  // records that do not match, then an odd last line
    std::string text;
    while (text.size() + 20 <= bytes) text += ";T;\n6;OTHER;0011223\n";
    return text + std::string(bytes - text.size(), 'x');
  };
  test::WriteFile(dir_ / "limit.ini", noMatch(kSettingsFileMax));
  test::WriteFile(dir_ / "over.ini", noMatch(kSettingsFileMax + 1));
  test::WriteFile(dir_ / "first.ini", pass + noMatch(2 * kSettingsFileMax));
  std::filesystem::create_directory(dir_ / "folder.ini");
  ASSERT_EQ(mkfifo((dir_ / "fifo.ini").c_str(), 0600), 0);
  const std::string good =
      ";S;\n1;LOGIN;" + Enc("L") + "\n" + pass + ";S;\n9;SCHEMA;" + Enc("korvadat ") + "\n";
  test::WriteFile(dir_ / "empty.ini", "");
  test::WriteFile(dir_ / "garbage.ini", "\x89PNG\r\n\x1A\n" + std::string(300, '\xFF'));
  test::WriteFile(dir_ / "blank.ini", "\r\n\r\n" + good);
  test::WriteFile(dir_ / "good.ini", good);
  const struct {
    std::string path;
    SettingsStatus status;
    std::string value, shown;  // shown: the start of what the settings tool prints
  } cases[] = {
      // PASS lies before the bound, LOGIN (which the tool asks for first) nowhere. The tool
      // refuses in the words of a run that reads the file.
      {"first.ini", SettingsStatus::kOk, "pw",
       "Einstellungsdatei first.ini ist keine Einstellungsdatei"},
      {"limit.ini", SettingsStatus::kOk, "", "Einstellung SCHEMA fehlt!\n"},
      {"over.ini", SettingsStatus::kNotSettingsFile, "",
       "Einstellungsdatei over.ini ist keine Einstellungsdatei"},
      {"/dev/zero", SettingsStatus::kNotSettingsFile, "", "Einstellungsdatei /dev/zero ist keine"},
      {"fifo.ini", SettingsStatus::kNotSettingsFile, "", "Einstellungsdatei fifo.ini ist keine"},
      {"folder.ini", SettingsStatus::kCannotOpen, "",
       "Einstellungsdatei folder.ini konnte nicht geoeffnet werden!\n"},
      {"missing.ini", SettingsStatus::kCannotOpen, "", "Einstellungsdatei missing.ini konnte"},
      // What a run refuses, show refuses too: nothing, garbage, a good file after blank lines
      // (the records pair up wrongly).
      {"empty.ini", SettingsStatus::kOk, "", "Einstellung SCHEMA fehlt!\n"},
      {"garbage.ini", SettingsStatus::kOk, "", "Einstellung SCHEMA fehlt!\n"},
      {"blank.ini", SettingsStatus::kOk, "", "Einstellung SCHEMA fehlt!\n"},
      {"good.ini", SettingsStatus::kOk, "pw", "LOGIN      L\nPASS       ********\n"},
  };
  const std::string tool = "'" ZIBROLT_SETTINGS_BIN "' ";
  for (const auto& c : cases) {
    SettingsEntry e;
    EXPECT_EQ(ReadIniEntry("", "PASS", 0, dir_ / c.path, e).status, c.status) << c.path;
    EXPECT_EQ(e.value, c.value) << c.path;
    const auto shown = test::Shell(tool + "show " + c.path + " 2>&1", dir_);
    EXPECT_EQ(shown.output.rfind(c.shown, 0), 0u) << shown.output;
    EXPECT_EQ(shown.exitStatus != 0, c.shown.rfind("LOGIN", 0) != 0) << c.path;
  }
  // Writing refuses a value zibrolt would not take, names the limit and leaves the file alone.
  const auto w = test::Shell("echo P | " + tool + "write first.ini --login L --password - " +
                                 "--schema S --net sqlite:/" + std::string(43, 'x') + " 2>&1",
                             dir_);
  EXPECT_EQ(w.output.rfind("zibrolt-settings: --net is 51 characters long, zibrolt takes at most "
                           "50 for NET8 (a sqlite: path",
                           0),
            0u)
      << w.output;
  EXPECT_EQ(test::ReadFile(dir_ / "first.ini").substr(0, pass.size()), pass);
#endif
}

}  // namespace
}  // namespace zibrolt
