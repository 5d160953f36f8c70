#pragma once
// The -lh5- encoder's match rule computed naively, for tests: the longest match (at
// most 256 bytes) of a position against the 8192 positions before it, the nearest
// among equals.
//
// Matches are compared on the encoder's text as it is, also past the input's end,
// and clamped afterwards. Past the end that text holds spaces up to input index
// 8191 (the first read fills the rest with them); further on it holds the byte 8192
// positions before (a later read that comes up short leaves the text as it was).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace nolvo::codec::test {

// The input followed by the 256 bytes the encoder's text holds past its end.
inline std::vector<std::uint8_t> Lh5Text(const std::vector<std::uint8_t>& in) {
  std::vector<std::uint8_t> text = in;
  for (std::size_t j = in.size(); j < in.size() + 256; ++j)
    text.push_back(j < 8192 ? std::uint8_t{0x20} : text[j - 8192]);
  return text;
}

// Positions 0..count-1 of `text` grouped by their first three bytes (only those can
// start a match of 3 or more), in increasing order.
using PositionIndex = std::map<std::uint32_t, std::vector<std::size_t>>;

inline std::uint32_t Key3(const std::vector<std::uint8_t>& text, std::size_t p) {
  return static_cast<std::uint32_t>(text[p] << 16 | text[p + 1] << 8 | text[p + 2]);
}

inline PositionIndex IndexPositions(const std::vector<std::uint8_t>& text, std::size_t count) {
  PositionIndex index;
  for (std::size_t p = 0; p < count; ++p) index[Key3(text, p)].push_back(p);
  return index;
}

// The longest match of at most 256 bytes at p against the indexed positions
// p-8192..p-1, the nearest among equals; shorter than 3 counts as none. `text` holds
// 256 bytes from p on. Returns the length and the matching position.
inline std::pair<int, std::size_t> BruteForceMatch(const std::vector<std::uint8_t>& text,
                                                   const PositionIndex& index, std::size_t p) {
  const auto same = index.find(Key3(text, p));
  if (same == index.end()) return {0, 0};
  auto it = std::lower_bound(same->second.begin(), same->second.end(), p);
  int best = 0;
  std::size_t best_q = 0;
  while (it != same->second.begin()) {
    const std::size_t q = *--it;
    if (p - q > 8192) break;
    int len = 0;
    while (len < 256 && text[q + len] == text[p + len]) ++len;
    if (len > best) {
      best = len;
      best_q = q;
      if (len == 256) break;  // nothing further back can be longer or nearer
    }
  }
  return best >= 3 ? std::make_pair(best, best_q) : std::make_pair(0, std::size_t{0});
}

}  // namespace nolvo::codec::test
