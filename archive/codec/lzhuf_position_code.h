#pragma once
// The fixed prefix code of LZHUF match positions. The upper 6 bits u of a 12-bit
// position get a canonical code of 3 to 8 bits (short codes for near positions); the
// lower 6 bits follow as they are.

#include <array>
#include <cstdint>

namespace nolvo::codec {

// Code length of the upper bits u (0..63).
constexpr int LzhufPositionCodeLength(int u) {
  return u < 1 ? 3 : u < 4 ? 4 : u < 12 ? 5 : u < 24 ? 6 : u < 48 ? 7 : 8;
}

struct LzhufPositionTables {
  std::array<std::uint8_t, 64> code{};     // code of u, aligned left in 8 bits
  std::array<std::uint8_t, 256> upper{};   // u of the code the 8 bits start with
  std::array<std::uint8_t, 256> length{};  // length of that code
};

// Codes are handed out in increasing u, each the previous one plus 2^(8 - its length).
constexpr LzhufPositionTables BuildLzhufPositionTables() {
  LzhufPositionTables t;
  unsigned next = 0;
  for (int u = 0; u < 64; ++u) {
    const int len = LzhufPositionCodeLength(u);
    t.code[u] = static_cast<std::uint8_t>(next);
    const unsigned span = 1u << (8 - len);
    for (unsigned v = next; v < next + span; ++v) {
      t.upper[v] = static_cast<std::uint8_t>(u);
      t.length[v] = static_cast<std::uint8_t>(len);
    }
    next += span;
  }
  return t;
}

inline constexpr LzhufPositionTables kLzhufPositionTables = BuildLzhufPositionTables();

}  // namespace nolvo::codec
