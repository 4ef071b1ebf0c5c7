// Fuzz target: any text as a stored value; deciphering must never read past it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "frame/cipher.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view stored(reinterpret_cast<const char*>(data), size);
  std::string plain = zibrolt::DecryptValue(stored);
  // The value ends before any zero byte and holds 8 bytes per whole 16-digit group at most.
  if (plain.find('\0') != std::string::npos || plain.size() > size / 2) __builtin_trap();
  return 0;
}
