// Blowfish as published (16 rounds, pi constants), used here only to decipher settings values.
#include "frame/cipher.hpp"

#include <cstring>

#include "frame/blowfish_tables.hpp"

namespace zibrolt {
namespace {

std::uint32_t Round(const BlowfishContext& ctx, std::uint32_t x) {
  return ((ctx.S[0][x >> 24] + ctx.S[1][(x >> 16) & 0xFF]) ^ ctx.S[2][(x >> 8) & 0xFF]) +
         ctx.S[3][x & 0xFF];
}

// Overwrites through a volatile pointer so the compiler cannot drop the wipe as a dead store.
void Wipe(void* data, std::size_t size) {
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  while (size--) *p++ = 0;
}

}  // namespace

void BlowfishEncryptBlock(const BlowfishContext& ctx, std::uint32_t& left, std::uint32_t& right) {
  std::uint32_t l = left, r = right;
  for (int i = 0; i < 16; ++i) {
    l ^= ctx.P[i];
    r ^= Round(ctx, l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= ctx.P[16];
  l ^= ctx.P[17];
  left = l;
  right = r;
}

void BlowfishDecryptBlock(const BlowfishContext& ctx, std::uint32_t& left, std::uint32_t& right) {
  std::uint32_t l = left, r = right;
  for (int i = 17; i > 1; --i) {
    l ^= ctx.P[i];
    r ^= Round(ctx, l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= ctx.P[1];
  l ^= ctx.P[0];
  left = l;
  right = r;
}

void BlowfishInit(BlowfishContext& ctx, std::string_view key) {
  for (int b = 0; b < 4; ++b) std::memcpy(ctx.S[b].data(), kBlowfishS[b], sizeof kBlowfishS[b]);
  std::size_t k = 0;
  for (int i = 0; i < 18; ++i) {
    std::uint32_t word = 0;
    for (int j = 0; j < 4; ++j) {
      word = (word << 8) | static_cast<unsigned char>(key.empty() ? 0 : key[k]);
      if (!key.empty()) k = (k + 1) % key.size();
    }
    ctx.P[i] = kBlowfishP[i] ^ word;
  }
  std::uint32_t l = 0, r = 0;
  for (int i = 0; i < 18; i += 2) {
    BlowfishEncryptBlock(ctx, l, r);
    ctx.P[i] = l;
    ctx.P[i + 1] = r;
  }
  for (auto& box : ctx.S) {
    for (int i = 0; i < 256; i += 2) {
      BlowfishEncryptBlock(ctx, l, r);
      box[i] = l;
      box[i + 1] = r;
    }
  }
}

void HexToBytes(std::string_view text, unsigned char* out) {
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    auto digit = [](char c) { return (c >= 'A' && c <= 'F') ? c - 55 : c - 48; };
    out[i / 2] = static_cast<unsigned char>(digit(text[i]) * 16 + digit(text[i + 1]));
  }
}

std::uint32_t LoadHalf(const unsigned char* bytes) {
  return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
         std::uint32_t(bytes[3]) << 24;
}

void StoreHalf(std::uint32_t word, unsigned char* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(word >> (8 * i));
}

std::string DecryptValue(std::string_view stored, std::string_view key) {
  BlowfishContext ctx;
  BlowfishInit(ctx, key);
  std::string plain;
  // A trailing partial group has no defined decoding; it is left out rather than read past.
  for (std::size_t start = 0; start + 16 <= stored.size(); start += 16) {
    unsigned char block[8];
    HexToBytes(stored.substr(start, 16), block);
    std::uint32_t l = LoadHalf(block), r = LoadHalf(block + 4);
    BlowfishDecryptBlock(ctx, l, r);
    StoreHalf(l, block);
    StoreHalf(r, block + 4);
    plain.append(reinterpret_cast<const char*>(block), 8);
    Wipe(block, sizeof block);
  }
  Wipe(&ctx, sizeof ctx);
  std::size_t end = plain.find('\0');
  if (end != std::string::npos) {
    Wipe(plain.data() + end, plain.size() - end);
    plain.resize(end);
  }
  return plain;
}

}  // namespace zibrolt
