// What tonight's run would change on a terminal: the comparison zibrolt-show --diff prints,
// from the terminal's current file to the one a dry run made.
#pragma once
#include <string>

#include "formats/layout.hpp"
#include "tools/check/report.hpp"

namespace zibrolt::check {

// Reports the comparison under an OK line (a FAIL when a file cannot be read); the current
// file is only read.
void Compare(const Layout& layout, const std::string& current, const std::string& made,
             Report& report);

}  // namespace zibrolt::check
