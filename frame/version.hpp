// The line every tool prints for --version.
#pragma once
#include <string>
#include <string_view>

namespace zibrolt {

// "zibrolt-site 1.1.0 (SQLite 3.40.1, ODBC)": the release, then the databases this build reaches,
// so that a site's report of a fault says which SQLite library the program really ran with.
std::string VersionLine(std::string_view tool);

}  // namespace zibrolt
