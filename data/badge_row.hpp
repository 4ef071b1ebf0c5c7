// One row of the badge list, its columns already formatted the way the download files take
// them. What the checks and lookups find for the badge they return on their own.
#pragma once
#include <string>

namespace zibrolt {

struct BadgeRow {
  std::string AswNum;  // badge number, whole (up to 255 characters)
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
    for (std::string* field : {&AswNum, &AswGvo, &AswGbi, &AswPnr, &AswBkl, &AswGrp, &AswAtp,
                               &AwvSto, &AswSal, &AswBk2, &AswSpr, &AswPin})
      field->clear();
  }
};

}  // namespace zibrolt
