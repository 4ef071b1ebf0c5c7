// Control bytes in single-byte text: terminals take them for line ends, string ends or
// separators, never for part of a value, and a message line that held one would break apart.
#pragma once
#include <string>
#include <string_view>

namespace zibrolt {

// Bytes below 0x20 and DEL.
inline bool IsControlByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b < 0x20 || b == 0x7F;
}
bool HasControlByte(std::string_view text);

// The text for a message line, control bytes written as \xNN so that the line stays one line.
std::string Shown(std::string_view text);

}  // namespace zibrolt
