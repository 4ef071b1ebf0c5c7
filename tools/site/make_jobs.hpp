// The jobs file for the common case: every terminal of the terminal table, withdrawn ones
// included, with the same download functions, each file named by a pattern.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zibrolt::site {

// A name (a terminal's, or a file's under a shadow folder) as part of a file name, one to one:
// letters, digits, "-", "_" and "." stay, every other byte (and "." in a name of dots only)
// becomes "%XX", its value in hexadecimal; "%" is such a byte, so two names never share a file
// and a name never leaves the folder.
std::string EscapeName(std::string_view name);

// The pattern with "{terminal}" (escaped as above) and "{function}" replaced.
std::string FilePath(std::string_view pattern, std::string_view terminal,
                     std::string_view function);

// Writes a jobs file (mode 1) on out for every terminal, in name order, and each function
// (blank-separated, any letter case) in the given order. Lines about the database and
// terminals that cannot be listed go to err. Returns 0, or -1 with nothing written on out when
// any terminal cannot be listed or the terminals cannot be read.
int MakeJobs(const std::string& settingsPath, std::string_view functions, std::string_view pattern,
             std::FILE* out, std::FILE* err);

}  // namespace zibrolt::site
