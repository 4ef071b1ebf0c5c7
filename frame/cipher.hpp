// Deciphering of the values in the settings file: hexadecimal text, Blowfish in ECB mode under
// the installation's fixed key, each 8-byte block read as two little-endian 32-bit halves.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zibrolt {

// The key every settings value is enciphered with (7 bytes, no terminator).
inline constexpr std::string_view kSettingsKey = "QELMIRA";

struct BlowfishContext {
  std::array<std::uint32_t, 18> P;                  // subkeys, 16 rounds + 2 whitening words
  std::array<std::array<std::uint32_t, 256>, 4> S;  // key-dependent S-boxes
};

void BlowfishInit(BlowfishContext& ctx, std::string_view key);
void BlowfishEncryptBlock(const BlowfishContext& ctx, std::uint32_t& left, std::uint32_t& right);
void BlowfishDecryptBlock(const BlowfishContext& ctx, std::uint32_t& left, std::uint32_t& right);

// Writes text.size() / 2 bytes: "A" to "F" count 10 to 15, every other character its code
// minus '0' (so lower-case digits give other bytes, as they always have).
void HexToBytes(std::string_view text, unsigned char* out);

// Deciphers a stored value. Only whole 16-digit groups are decoded; the value ends at the first
// zero byte. The key schedule is wiped before returning so no key material stays in memory.
std::string DecryptValue(std::string_view stored, std::string_view key = kSettingsKey);

// Loads/stores the two halves of an 8-byte block in the settings file's byte order.
std::uint32_t LoadHalf(const unsigned char* bytes);
void StoreHalf(std::uint32_t word, unsigned char* bytes);

}  // namespace zibrolt
