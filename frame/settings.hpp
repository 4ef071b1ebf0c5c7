// Reader of the installation's settings file: two-line records (a heading line whose text between
// its first and second ";" is the section, then "number;key;value"), values stored enciphered.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace zibrolt {

// Where the run driver looks for the settings, relative to the working directory.
inline constexpr const char* kSettingsPath = "../../files/quarvenda.ini";

struct SettingsEntry {
  std::string section;      // section of the matching record, or empty
  std::int32_t number = 0;  // record number of the matching record, or 0
  std::string key;          // key of the matching record, or empty
  std::string value;        // deciphered value of the matching record, or empty
};

// Position (from 0) of the n-th occurrence of ch; the last occurrence when there are fewer than
// n; -1 when there is none.
int FindNthChar(std::string_view text, char ch, int n);

// Copies length characters from start into dest. A length of 0 takes the rest of the text and a
// negative length leaves dest as it was: the settings files in the field were written with
// these rules, so an empty field ("a;;b") reads as the rest of its line.
void CopySubstring(std::string_view text, int start, int length, std::string& dest);

// Searches the file for the first record whose section, key or number equals the one asked
// for and returns it with its value deciphered. Returns false when the file cannot be opened
// (the entry is then empty); a file without a matching record gives an empty entry and true.
bool ReadIniEntry(std::string_view section, std::string_view key, std::int32_t number,
                  const std::string& path, SettingsEntry& entry);

// The same search over the file's bytes.
void SearchIniText(std::string content, std::string_view section, std::string_view key,
                   std::int32_t number, SettingsEntry& entry);

}  // namespace zibrolt
