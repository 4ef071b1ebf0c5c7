// One run of the tool: command line, settings, connection, download file, terminal, generator.
#pragma once
#include <cstdio>
#include <string>

namespace zibrolt {

// Runs the tool with the process's arguments and returns the exit status (0 or -1).
// Messages go to out.
int RunDriver(int argc, const char* const* argv, std::FILE* out);

// Converts "a" to "z" to upper case in place; other bytes stay as they are.
void StrUpper(std::string& text);

}  // namespace zibrolt
