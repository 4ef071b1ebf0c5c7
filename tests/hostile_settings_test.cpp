// Settings files as they turn up after hand edits, copies between systems and full disks: lines
// lost or doubled, endless lines, zero bytes, no line ends, values cut short or not hexadecimal.
// The run must never crash; where it cannot go on it says so in one of its settings or connect
// messages, and no download file is touched.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "frame/cipher.hpp"
#include "frame/settings.hpp"
#include "tests/harness.hpp"
#include "text/control.hpp"
#include "tools/settings/encipher.hpp"

namespace zibrolt::test {
namespace {

struct Record {
  std::string key, value;  // value enciphered
};

std::string Text(const std::vector<Record>& records, std::string_view lineEnd = "\r\n") {
  std::string text;
  int number = 1;
  for (const Record& r : records)
    text += ";DB;" + r.key + std::string(lineEnd) + std::to_string(number++) + ";" + r.key + ";" +
            r.value + std::string(lineEnd);
  return text;
}

std::vector<Record> GoodRecords(const Installation& inst) {
  auto enc = [](std::string_view v) { return EncryptValue(v, kSettingsKey); };
  return {{"LOGIN", enc("demo")},
          {"PASS", enc("geheim")},
          {"NET8", enc(inst.Net())},
          {"DB_SYSTEM", enc("SQLITE")},
          {"SCHEMA", enc("korvadat#")}};
}

TEST(HostileSettings, RunNeverCrashesAndNamesWhyItStops) {
  Installation inst("INSERT INTO Kvd1140Trm VALUES ('T1', 'M', 'S', 1, 1, 1, 1);");
  const std::vector<Record> good = GoodRecords(inst);
  const std::string goodText = Text(good);
  ASSERT_EQ(inst.Run({"MGDNL31P", "T1", inst.OutPath().string(), "1"}).exitStatus, 0);
  std::filesystem::remove(inst.OutPath());

  std::vector<std::pair<std::string, std::string>> files;
  files.emplace_back("first line lost", goodText.substr(goodText.find('\n') + 1));
  files.emplace_back("a line doubled", ";DB;X\r\n" + goodText);
  files.emplace_back("lines of 10000 characters", std::string(10000, 'h') + "\r\n" +
                                                      std::string(10000, ';') + "\r\n" + goodText);
  files.emplace_back("every value of 10000 characters", [&] {
    std::vector<Record> records = good;
    for (Record& r : records) r.value = std::string(10000, 'A');
    return Text(records);
  }());
  files.emplace_back("zero bytes", [&] {
    std::string text = goodText;
    for (std::size_t i = 3; i < text.size(); i += 7) text[i] = '\0';
    return text;
  }());
  files.emplace_back("only zero bytes", std::string(4096, '\0'));
  files.emplace_back("no line end at all", Text(good, ""));
  files.emplace_back("line feeds only", Text(good, "\n"));
  files.emplace_back("carriage returns only", Text(good, "\r"));
  files.emplace_back("values cut short", [&] {
    std::vector<Record> records = good;
    for (Record& r : records) r.value.resize(r.value.size() - 3);
    return Text(records);
  }());
  files.emplace_back("values of odd length", [&] {
    std::vector<Record> records = good;
    for (Record& r : records) r.value += "7";
    return Text(records);
  }());
  files.emplace_back("digits that are not hexadecimal", [&] {
    std::vector<Record> records = good;
    for (Record& r : records)
      for (std::size_t i = 0; i < r.value.size(); i += 3) r.value[i] = "Gz!~ \xFF"[i % 6];
    return Text(records);
  }());
  files.emplace_back("values that decipher to any bytes", [&] {
    std::vector<Record> records = good;
    for (Record& r : records) r.value = "0123456789ABCDEF1032547698BADCFE";
    return Text(records);
  }());

  for (const auto& [what, text] : files) {
    SCOPED_TRACE(what);
    ASSERT_FALSE(std::filesystem::exists(inst.OutPath()));
    inst.WriteSettingsText(text);
    RunResult r = inst.Run({"MGDNL31P", "T1", inst.OutPath().string(), "1"});
    if (r.exitStatus == 0) {  // what was left of the file still reached the database
      std::filesystem::remove(inst.OutPath());
      continue;
    }
    ASSERT_EQ(r.exitStatus, 255) << r.output;  // not a signal
    const bool known =
        r.output.rfind("Einstellung ", 0) == 0 || r.output.rfind("DB-Connect-Error: ", 0) == 0;
    EXPECT_TRUE(known) << r.output;
    // One line, whatever bytes the values deciphered to.
    EXPECT_EQ(
        std::count_if(r.output.begin(), r.output.end(), [](char c) { return IsControlByte(c); }), 1)
        << r.output;
    EXPECT_EQ(r.output.back(), '\n');
    EXPECT_FALSE(std::filesystem::exists(inst.OutPath()));
  }
}

// Something else where the settings file belongs: the run stops at once, in bounded time, with
// one line, and no download file is touched.
TEST(HostileSettings, NoSettingsFileWhereItBelongs) {
  Installation inst;
  const std::filesystem::path settings = inst.root() / "files" / "quarvenda.ini";
  const std::string named = std::string("Einstellungsdatei ") + kSettingsPath;
  const struct {
    const char* what;
    void (*make)(const std::filesystem::path&);
    std::string line;
  } kCases[] = {
      {"a folder", [](const std::filesystem::path& p) { std::filesystem::create_directory(p); },
       named + " konnte nicht geoeffnet werden!\n"},
#ifndef _WIN32  // no /dev/zero
      {"an endless device",
       [](const std::filesystem::path& p) { std::filesystem::create_symlink("/dev/zero", p); },
       named + " ist keine Einstellungsdatei (keine normale Datei oder groesser als 1 MiB)!\n"},
#endif
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(settings);
    c.make(settings);
    const RunResult r = inst.Run({"MGDNL31P", "T1", inst.OutPath().string(), "1"});
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.output, c.line);
    EXPECT_FALSE(std::filesystem::exists(inst.OutPath()));
  }
}

}  // namespace
}  // namespace zibrolt::test
