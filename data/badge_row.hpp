// One row of the badge list, its columns already formatted the way the download files take
// them. What the checks and lookups find for the badge they return on their own.
#pragma once
#include <string>
#include <string_view>

namespace zibrolt {

struct BadgeRow {
  std::string AswNum;  // badge number, whole (up to 255 characters)
  // The badge number's exact form where AswNum is not the database's value exactly (a character
  // without a Windows-1252 byte of its own), else empty: what the lookups bind.
  std::string AswNumExact;
  std::string AswGvo;  // first day of validity "yyyymmdd", or empty
  std::string AswGbi;  // last day of validity "yyyymmdd", or empty
  std::string AswPnr;  // person number, up to 8 characters
  std::string AswBkl;  // the badge's own class, "%-3s": at least 3 characters
  std::string AswGrp;  // group, up to 5 characters
  std::string AswAtp;  // badge type as decimal text
  std::string AwvSto;  // location number, right-aligned in 8 with "0" fill
  std::string AswSal;  // display-text set, up to 10 characters
  std::string AswBk2;  // second class, "%-3s"
  std::string AswSpr;  // language number as decimal text
  std::string AswPin;  // PIN, up to 32 characters

  // Empties every field, as before each fetch of the badge list (keeping the strings' storage,
  // since this runs once per badge row).
  void Clear() {
    for (std::string* field : {&AswNum, &AswNumExact, &AswGvo, &AswGbi, &AswPnr, &AswBkl, &AswGrp,
                               &AswAtp, &AwvSto, &AswSal, &AswBk2, &AswSpr, &AswPin})
      field->clear();
  }
};

// A badge number as the lookups bind it: its text and, where that is not the database's value
// exactly, its exact form. Two badges whose numbers only share their Windows-1252 bytes are two
// badges: each lookup finds the rows of its own number, never those of the other.
struct BadgeKey {
  BadgeKey(const BadgeRow& row) : number(row.AswNum), exact(row.AswNumExact) {}  // NOLINT
  explicit BadgeKey(std::string_view text, std::string_view exactForm = {})
      : number(text), exact(exactForm) {}

  std::string_view number;  // the text, for the lines that name the badge
  std::string_view exact;   // empty where number is exact
};

// A badge key kept beyond the row it came from.
struct KeptBadgeKey {
  std::string number;
  std::string exact;

  void Assign(const BadgeKey& key) {
    number.assign(key.number);
    exact.assign(key.exact);
  }
  BadgeKey Key() const { return BadgeKey(number, exact); }
  // The same number in the database: exact forms compared, the text where there is none.
  bool Is(const BadgeKey& key) const { return number == key.number && exact == key.exact; }
};

}  // namespace zibrolt
