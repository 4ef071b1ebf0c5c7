// Upper case for the names a user types (schema, download function, terminal): only the ASCII
// letters change, so that a Windows-1252 letter such as "ä" stays the byte the database holds.
#pragma once
#include <string>

namespace zibrolt {

// Converts "a" to "z" to upper case in place; other bytes stay as they are.
void StrUpper(std::string& text);

}  // namespace zibrolt
