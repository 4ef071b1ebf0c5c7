// Control bytes found and shown.
#include "text/control.hpp"

#include <cstdio>

namespace zibrolt {

bool HasControlByte(std::string_view text) {
  for (char c : text)
    if (IsControlByte(c)) return true;
  return false;
}

std::string Shown(std::string_view text) {
  std::string shown;
  for (char c : text) {
    if (!IsControlByte(c)) {
      shown.push_back(c);
      continue;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
    shown += hex;
  }
  return shown;
}

}  // namespace zibrolt
