// Conversion between the databases' UTF-8 or UTF-16 and the single-byte Windows-1252 text that
// the terminals and the download files use.
#pragma once
#include <string>
#include <string_view>

namespace zibrolt {

// Appends the Windows-1252 form of UTF-8 text to out. A control character U+0080 to U+009F
// becomes the byte of the same value, as a Latin-1 database hands over the Windows-1252 bytes it
// stores; any other character that Windows-1252 has no byte for, and any malformed sequence,
// becomes '?'. Returns whether the bytes appended are the text exactly: each character its own
// byte that converts back to it. Two texts that are not may have the same bytes ('?', or 0x80
// for both U+0080 and the euro sign), so such bytes must never be compared as the text.
bool Utf8ToCp1252(std::string_view utf8, std::string& out);

// Appends the UTF-8 form of Windows-1252 text to out; the five unassigned bytes become U+FFFD.
void Cp1252ToUtf8(std::string_view cp1252, std::string& out);

// The same for UTF-16 (ODBC's wide characters). A surrogate pair is one character and becomes
// one '?'; a lone surrogate becomes '?' as well.
bool Utf16ToCp1252(std::u16string_view utf16, std::string& out);
void Cp1252ToUtf16(std::string_view cp1252, std::u16string& out);

}  // namespace zibrolt
