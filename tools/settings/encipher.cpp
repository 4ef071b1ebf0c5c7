// Encipherment with the same key schedule and block layout as the tool's decipherment.
#include "tools/settings/encipher.hpp"

#include <cstring>

#include "frame/cipher.hpp"

namespace zibrolt {

std::string EncryptValue(std::string_view plain, std::string_view key) {
  BlowfishContext ctx;
  BlowfishInit(ctx, key);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string stored;
  for (std::size_t start = 0; start < plain.size(); start += 8) {
    unsigned char block[8] = {};
    std::memcpy(block, plain.data() + start, std::min<std::size_t>(8, plain.size() - start));
    std::uint32_t l = LoadHalf(block), r = LoadHalf(block + 4);
    BlowfishEncryptBlock(ctx, l, r);
    StoreHalf(l, block);
    StoreHalf(r, block + 4);
    for (unsigned char b : block) {
      stored.push_back(kHex[b >> 4]);
      stored.push_back(kHex[b & 15]);
    }
  }
  return stored;
}

}  // namespace zibrolt
