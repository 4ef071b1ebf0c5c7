// The working record of one badge: the badge list's columns already formatted for the
// download files, and what the checks and lookups add for the same badge.
#pragma once
#include <array>
#include <string>
#include <string_view>

namespace zibrolt {

// Balance values 2 to 16 (a value right-aligned in 6 characters and a sign character) and
// information texts 1 to 10 (20 characters each) of the badge's O2002TSW row.
struct BalanceValues {
  std::array<std::string, 17> value;  // value[n]: balance value n, 7 characters; [0], [1] unused
  std::array<std::string, 11> info;   // info[m]: information text m, 20 characters; [0] unused
};

// Reader n's slot holds "%02d" of n when the terminal has reader n; generators preset the slots
// they read to two blanks.
using ReaderSlot = std::array<char, 2>;
inline constexpr ReaderSlot kNoReader = {' ', ' '};

struct BadgeRow {
  std::string AswNum;     // badge number, whole (up to 255 characters)
  std::string AswGvo;     // first day of validity "yyyymmdd", or empty
  std::string AswGbi;     // last day of validity "yyyymmdd", or empty
  std::string AswPnr;     // person number, up to 8 characters
  std::string AswBkl;     // the badge's own class, "%-3s": at least 3 characters
  std::string AswGrp;     // group, up to 5 characters
  std::string AswAtp;     // badge type as decimal text
  std::string AwvSto;     // location number, right-aligned in 8 with "0" fill
  std::string AswSal;     // display-text set, up to 10 characters
  std::string AswBk2;     // second class, "%-3s"
  std::string AswSpr;     // language number as decimal text
  std::string AswPin;     // PIN, up to 32 characters
  std::string location;   // first 3 characters of the location's short text, or empty
  BalanceValues balance;  // filled by the balance lookup; empty when it found nothing
  std::array<ReaderSlot, 12> readers{};  // reader table, slot n for reader number n

  // Empties every field, as before each fetch of the badge list (keeping the strings' storage,
  // since this runs once per badge row).
  void Clear() {
    for (std::string* field : {&AswNum, &AswGvo, &AswGbi, &AswPnr, &AswBkl, &AswGrp, &AswAtp,
                               &AwvSto, &AswSal, &AswBk2, &AswSpr, &AswPin, &location})
      field->clear();
    for (std::string& value : balance.value) value.clear();
    for (std::string& info : balance.info) info.clear();
    readers = {};
  }
};

}  // namespace zibrolt
