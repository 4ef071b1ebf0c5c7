// The stored form of a settings value: the inverse of what zibrolt deciphers.
#pragma once
#include <string>
#include <string_view>

namespace zibrolt {

// Enciphers plain (zero-padded to whole 8-byte blocks) and writes it as upper-case hex digits.
std::string EncryptValue(std::string_view plain, std::string_view key);

}  // namespace zibrolt
