// The settings cipher against published Blowfish vectors and the stored layout.
#include "frame/cipher.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tools/settings/encipher.hpp"

namespace zibrolt {
namespace {

// Published vectors read their 8 bytes as two big-endian halves.
std::uint32_t BigEndian(const unsigned char* b) {
  return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | b[3];
}

TEST(Blowfish, PublishedVectors) {
  struct Vector {
    std::string key;
    unsigned char plain[8];
    unsigned char cipher[8];
  };
  const Vector vectors[] = {
      {"abcdefghijklmnopqrstuvwxyz",
       {'B', 'L', 'O', 'W', 'F', 'I', 'S', 'H'},
       {0x32, 0x4E, 0xD0, 0xFE, 0xF4, 0x13, 0xA2, 0x03}},
      {std::string(8, '\0'),
       {0, 0, 0, 0, 0, 0, 0, 0},
       {0x4E, 0xF9, 0x97, 0x45, 0x61, 0x98, 0xDD, 0x78}},
      {std::string(8, '\xFF'),
       {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       {0x51, 0x86, 0x6F, 0xD5, 0xB8, 0x5E, 0xCB, 0x8A}},
      {"Who is John Galt?",
       {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10},
       {0xCC, 0x91, 0x73, 0x2B, 0x80, 0x22, 0xF6, 0x84}},
  };
  for (const Vector& v : vectors) {
    BlowfishContext ctx;
    BlowfishInit(ctx, v.key);
    std::uint32_t l = BigEndian(v.plain), r = BigEndian(v.plain + 4);
    BlowfishEncryptBlock(ctx, l, r);
    EXPECT_EQ(l, BigEndian(v.cipher)) << v.key;
    EXPECT_EQ(r, BigEndian(v.cipher + 4)) << v.key;
    BlowfishDecryptBlock(ctx, l, r);
    EXPECT_EQ(l, BigEndian(v.plain));
    EXPECT_EQ(r, BigEndian(v.plain + 4));
  }
}

TEST(DecryptValue, RoundTripsAndEndsAtTheFirstZeroByte) {
  for (std::string plain : {"", "scott", "tiger123", "sixteen chars!!!", "p@ss/w\xF6rd;x"}) {
    std::string stored = EncryptValue(plain, kSettingsKey);
    EXPECT_EQ(stored.size() % 16, 0u);
    EXPECT_EQ(stored.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(DecryptValue(stored), plain);
  }
  EXPECT_EQ(DecryptValue(""), "");
}

TEST(DecryptValue, UsesTheFixedKeyAndLittleEndianHalves) {
  // Worked out by hand from the block layout: the halves are the little-endian words of
  // bytes 0-3 and 4-7, enciphered under "QELMIRA" used cyclically.
  BlowfishContext ctx;
  BlowfishInit(ctx, "QELMIRA");
  unsigned char block[8] = {'a', 'b', 'c', 0, 0, 0, 0, 0};
  std::uint32_t l = 0x00636261, r = 0;
  BlowfishEncryptBlock(ctx, l, r);
  char hex[17];
  for (int i = 0; i < 4; ++i) std::snprintf(hex + 2 * i, 3, "%02X", (l >> (8 * i)) & 0xFF);
  for (int i = 0; i < 4; ++i) std::snprintf(hex + 8 + 2 * i, 3, "%02X", (r >> (8 * i)) & 0xFF);
  EXPECT_EQ(DecryptValue(hex), "abc");
  EXPECT_EQ(std::string(hex), EncryptValue(reinterpret_cast<const char*>(block), kSettingsKey));
  // A different key gives other bytes, not an error.
  EXPECT_NE(DecryptValue(hex, "QELMIRB"), "abc");
}

TEST(DecryptValue, DigitRulesAndPartialGroups) {
  std::string stored = EncryptValue("LOGINNAM", kSettingsKey) + EncryptValue("E", kSettingsKey);
  EXPECT_EQ(DecryptValue(stored), "LOGINNAME");
  // A trailing partial group is ignored rather than read past the text.
  EXPECT_EQ(DecryptValue(stored.substr(0, 16) + "ABC"), "LOGINNAM");
  // Lower-case hex digits count by the digit rule and decode to other bytes.
  std::string lower = stored;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower != stored) {
    EXPECT_NE(DecryptValue(lower), "LOGINNAME");
  }
  unsigned char bytes[2];
  HexToBytes("a1", bytes);
  EXPECT_EQ(bytes[0], static_cast<unsigned char>(('a' - 48) * 16 + 1));
}

}  // namespace
}  // namespace zibrolt
