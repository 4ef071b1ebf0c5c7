// Writes the comparison of two download files of the same function (formats/record_diff.hpp)
// for a person: the preview of what a terminal will gain, lose and see changed when the new
// file replaces the old one.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "formats/layout.hpp"
#include "formats/record_diff.hpp"

namespace zibrolt::show {

// Writes the records added, removed and changed from the old file to the new one, as aligned
// lines with a closing count of badges or as CSV. False when a record could not be read again;
// then the path of that file is in failedPath.
struct ComparedFile {
  const KeyIndex& index;
  std::FILE* file;
  const std::string& path;
};
bool WriteComparison(const Layout& layout, const ComparedFile& before, const ComparedFile& after,
                     bool csv, std::FILE* out, std::string& failedPath);

}  // namespace zibrolt::show
