// The jobs file for the common case: every active terminal of the terminal table with the same
// download functions, each file named by a pattern.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zibrolt::site {

// The pattern with "{terminal}" and "{function}" replaced; a terminal name's characters other
// than letters, digits, "-", "_" and "." become "_", so that a name never leaves the folder.
std::string FilePath(std::string_view pattern, std::string_view terminal,
                     std::string_view function);

// Writes a jobs file (mode 1) on out for every active terminal, in name order, and each
// function (blank-separated, any letter case) in the given order. Lines about the database and
// refused terminals go to err. Returns 0, or -1 when nothing usable could be written.
int MakeJobs(const std::string& settingsPath, std::string_view functions, std::string_view pattern,
             std::FILE* out, std::FILE* err);

}  // namespace zibrolt::site
