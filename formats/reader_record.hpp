// What MGDNL17P and MGDNL60P records share: they begin alike (badge 13, first day 8, time and
// access flags, a balance value 7) and go on with 5-character reader fields, each the reader's
// number "%02d" and three characters for the record's access class.
#pragma once
#include <bitset>
#include <optional>
#include <span>
#include <string_view>

#include "formats/fixed_record.hpp"

namespace zibrolt {

// The fields of the shared beginning, in both layouts.
enum ReaderRecordField { kHeadBadge, kHeadValidFrom, kHeadTime, kHeadAccess, kHeadBalance };

// What one badge's records are made of.
struct ReaderRecordBadge {
  std::string_view number;                    // at most 13 characters
  std::string_view validFrom;                 // "yyyymmdd" or empty
  std::string_view balance;                   // the file's balance value, 7 characters; blanks
  bool time = false;                          // holds a time authorisation on the terminal
  std::span<const std::string_view> classes;  // access classes that fit, highest first
  std::bitset<12> readers;                    // the terminal's readers
  std::optional<std::string_view> location;   // MGDNL17P: first 3 characters of the location
};

// The shared beginning of the badge's records.
inline void PutReaderRecordHead(FixedRecord& record, const ReaderRecordBadge& badge) {
  record.Put(kHeadBadge, badge.number);
  record.PutDate(kHeadValidFrom, badge.validFrom);
  record.Put(kHeadTime, badge.time ? "1" : "0");
  record.Put(kHeadAccess, badge.classes.empty() ? "0" : "1");
  record.Put(kHeadBalance, badge.balance);
}

// Reader n's number into the first two positions of its field.
inline void PutReaderNumber(FixedRecord& record, int field, int n) {
  const char number[2] = {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
  record.PutAt(field, 0, std::string_view(number, 2), 2);
}

}  // namespace zibrolt
