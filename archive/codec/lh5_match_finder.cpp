#include "archive/codec/lh5_match_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace nolvo::codec {
namespace {

// How far a and b agree, starting from `len` known equal bytes, up to `limit`.
inline int CommonLength(const std::uint8_t* a, const std::uint8_t* b, int len, int limit) {
  while (std::endian::native == std::endian::little && len + 8 <= limit) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, a + len, 8);
    std::memcpy(&y, b + len, 8);
    if (x != y) {
      // The lowest differing byte in memory order (little-endian hosts).
      return len + (std::countr_zero(x ^ y) >> 3);
    }
    len += 8;
  }
  while (len < limit && a[len] == b[len]) ++len;
  return len;
}

}  // namespace

Lh5MatchFinder::Lh5MatchFinder()
    : head_(new std::uint32_t[1u << kHashBits]()), links_(new std::uint32_t[2 * kCyclic]()) {}

Lh5MatchFinder::Match Lh5MatchFinder::Insert(std::uint32_t pos, const std::uint8_t* bytes,
                                             int limit) {
  Match best;
  std::uint32_t* smaller = &links_[2 * (pos & (kCyclic - 1))];
  std::uint32_t* larger = smaller + 1;
  if (limit < 3) {
    // Too short to match; the position stays out of every tree.
    *smaller = *larger = 0;
    return best;
  }
  const std::uint32_t h = ((static_cast<std::uint32_t>(bytes[0]) << 16 |
                            static_cast<std::uint32_t>(bytes[1]) << 8 | bytes[2]) *
                           2654435761u) >>
                          (32 - kHashBits);
  std::uint32_t candidate = head_[h];
  head_[h] = pos;

  // Bytes known to agree with the nearest smaller and larger neighbours so far.
  int len_smaller = 0;
  int len_larger = 0;
  for (;;) {
    const std::uint32_t delta = pos - candidate;
    if (candidate == 0 || delta > kWindow) {
      *smaller = *larger = 0;
      break;
    }
    std::uint32_t* pair = &links_[2 * (candidate & (kCyclic - 1))];
    const std::uint8_t* other = bytes - delta;
    const int len = CommonLength(other, bytes, std::min(len_smaller, len_larger), limit);
    if (len > best.length) {
      best.length = len;
      best.position = candidate;
      if (len == limit) {
        // Equal as far as may be compared: the new position takes the old one's place.
        *smaller = pair[0];
        *larger = pair[1];
        break;
      }
    }
    if (other[len] < bytes[len]) {
      *smaller = candidate;
      smaller = &pair[1];
      candidate = *smaller;
      len_smaller = len;
    } else {
      *larger = candidate;
      larger = &pair[0];
      candidate = *larger;
      len_larger = len;
    }
  }
  if (best.length < 3) best = Match{};
  return best;
}

}  // namespace nolvo::codec
