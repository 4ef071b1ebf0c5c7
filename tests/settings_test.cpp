// The settings file reader with the quirks that existing files depend on.
#include "frame/settings.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "frame/cipher.hpp"
#include "tests/harness.hpp"
#include "tools/settings/encipher.hpp"

namespace zibrolt {
namespace {

std::string Enc(std::string_view plain) { return EncryptValue(plain, kSettingsKey); }

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zibrolt-ini-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
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

}  // namespace
}  // namespace zibrolt
