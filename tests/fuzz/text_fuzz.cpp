// Fuzz target: any bytes as a text value a database hands over, and the same value cut after
// each of its bytes, as a column buffer can cut it inside a character. Each cut is copied into
// a buffer of exactly its length, so that a conversion reading one byte past the value's end
// reads outside the buffer. Values from SQLite end in a NUL, which would hide such a read.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "text/cp1252.hpp"

namespace {

// The five bytes Windows-1252 leaves unassigned, which come back as '?'.
bool Unassigned(unsigned char b) {
  return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

void CheckUtf8(std::string_view utf8) {
  std::string narrow;
  const bool exact = zibrolt::Utf8ToCp1252(utf8, narrow);
  // Never more than one byte per byte, and exact only if the bytes are the text again: two
  // different texts must never both be exact with the same bytes.
  if (narrow.size() > utf8.size()) __builtin_trap();
  if (exact) {
    std::string back;
    zibrolt::Cp1252ToUtf8(narrow, back);
    if (back != utf8) __builtin_trap();
  }
}

void CheckUtf16(std::u16string_view utf16) {
  std::string narrow;
  const bool exact = zibrolt::Utf16ToCp1252(utf16, narrow);
  if (narrow.size() > utf16.size()) __builtin_trap();
  if (exact) {
    std::u16string back;
    zibrolt::Cp1252ToUtf16(narrow, back);
    if (back != utf16) __builtin_trap();
  }
}

// Windows-1252 to either form and back gives every assigned byte again.
void CheckCp1252(std::string_view cp1252) {
  std::string expected(cp1252);
  for (char& c : expected)
    if (Unassigned(static_cast<unsigned char>(c))) c = '?';
  std::string utf8, fromUtf8;
  zibrolt::Cp1252ToUtf8(cp1252, utf8);
  zibrolt::Utf8ToCp1252(utf8, fromUtf8);
  std::u16string utf16;
  std::string fromUtf16;
  zibrolt::Cp1252ToUtf16(cp1252, utf16);
  zibrolt::Utf16ToCp1252(utf16, fromUtf16);
  if (fromUtf8 != expected || fromUtf16 != expected) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Every cut of a long input costs its square; the column buffers hold a few hundred bytes.
  size = size < 1024 ? size : 1024;
  for (std::size_t n = 0; n <= size; ++n) {
    const std::vector<char> bytes(data, data + n);
    const std::string_view cut(bytes.data(), n);
    CheckUtf8(cut);
    CheckCp1252(cut);
    std::vector<char16_t> units(n / sizeof(char16_t));
    if (!units.empty()) std::memcpy(units.data(), bytes.data(), units.size() * sizeof(char16_t));
    CheckUtf16(std::u16string_view(units.data(), units.size()));
  }
  return 0;
}
