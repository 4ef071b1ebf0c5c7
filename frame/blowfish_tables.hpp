// The standard Blowfish initial values that every key schedule starts from.
#pragma once
#include <cstdint>

namespace zibrolt {

extern const std::uint32_t kBlowfishP[18];      // P-array before the key is mixed in
extern const std::uint32_t kBlowfishS[4][256];  // S-boxes before the key is mixed in

}  // namespace zibrolt
