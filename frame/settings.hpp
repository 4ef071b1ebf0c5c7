// Reader of the installation's settings file: two-line records (a heading line whose text between
// its first and second ";" is the section, then "number;key;value"), values stored enciphered.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/paths.hpp"

namespace zibrolt {

// Where the run driver looks for the settings, relative to the working directory.
inline constexpr const char* kSettingsPath = platform::kSettingsPath;

// The longest deciphered values zibrolt takes, in characters: the sizes of its login fields.
inline constexpr std::size_t kLoginMax = 50;
inline constexpr std::size_t kPasswordMax = 50;
inline constexpr std::size_t kNetMax = 50;
inline constexpr std::size_t kDbSystemMax = 40;
inline constexpr std::size_t kSchemaMax = 20;  // the name; the stored value has one more
inline constexpr std::size_t kSchemaStoredMax = kSchemaMax + 1;

// A settings file holds a handful of records of a few hundred bytes. A search that has read this
// much without finding its record is not reading a settings file (a log, an image, a disk).
inline constexpr std::size_t kSettingsFileMax = 1024 * 1024;

struct SettingsEntry {
  std::string section;      // section of the matching record, or empty
  std::int32_t number = 0;  // record number of the matching record, or 0
  std::string key;          // key of the matching record, or empty
  std::string value;        // deciphered value of the matching record, or empty
};

enum class SettingsStatus {
  kOk,               // searched to the matching record or to the end of the file
  kCannotOpen,       // missing, unreadable, a folder, or a read error
  kNotSettingsFile,  // not a regular file, or more than kSettingsFileMax bytes without a match
};

// What a lookup found out about the file. Converts to true only for kOk, so a caller that only
// needs to know whether it can go on may write `if (!ReadIniEntry(...))`.
struct SettingsRead {
  SettingsStatus status = SettingsStatus::kOk;
  explicit operator bool() const { return status == SettingsStatus::kOk; }
};

// Position (from 0) of the n-th occurrence of ch; the last occurrence when there are fewer than
// n; -1 when there is none.
int FindNthChar(std::string_view text, char ch, int n);

// Copies length characters from start into dest. A length of 0 takes the rest of the text and a
// negative length leaves dest as it was: the settings files in the field were written with
// these rules, so an empty field ("a;;b") reads as the rest of its line.
void CopySubstring(std::string_view text, int start, int length, std::string& dest);

// Searches the file for the first record whose section, key or number equals the one asked
// for and returns it with its value deciphered. A file without a matching record gives an empty
// entry and kOk; any other status leaves the entry empty. Memory stays bounded whatever the file
// holds, and a FIFO or device is refused without waiting for it.
SettingsRead ReadIniEntry(std::string_view section, std::string_view key, std::int32_t number,
                          const std::string& path, SettingsEntry& entry);

// The same search over bytes already in memory (no size bound).
void SearchIniText(std::string_view content, std::string_view section, std::string_view key,
                   std::int32_t number, SettingsEntry& entry);

}  // namespace zibrolt
