#pragma once
// The -lh5- encoder's match rule computed naively, for tests: the longest match at a
// position against the 8192 positions before it, nearest among equals.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace nolvo::codec::test {

// Every position of the input, grouped by its first three bytes (only those can
// start a match of 3 or more), in increasing order.
using PositionIndex = std::map<std::uint32_t, std::vector<std::size_t>>;

inline PositionIndex IndexPositions(const std::vector<std::uint8_t>& in) {
  PositionIndex index;
  for (std::size_t p = 0; p + 3 <= in.size(); ++p)
    index[static_cast<std::uint32_t>(in[p] << 16 | in[p + 1] << 8 | in[p + 2])].push_back(p);
  return index;
}

// The longest match at p against the 8192 positions before it, nearest first among
// equals, at most 256 and no further than the input; shorter than 3 counts as none.
// Returns the length and the matching position.
inline std::pair<int, std::size_t> BruteForceMatch(const std::vector<std::uint8_t>& in,
                                                   const PositionIndex& index, std::size_t p) {
  if (p + 3 > in.size()) return {0, 0};
  const int limit = static_cast<int>(std::min<std::size_t>(256, in.size() - p));
  const auto& same = index.at(static_cast<std::uint32_t>(in[p] << 16 | in[p + 1] << 8 | in[p + 2]));
  auto it = std::lower_bound(same.begin(), same.end(), p);
  int best = 0;
  std::size_t best_q = 0;
  while (it != same.begin()) {
    const std::size_t q = *--it;
    if (p - q > 8192) break;
    int len = 0;
    while (len < limit && in[q + len] == in[p + len]) ++len;
    if (len > best) {
      best = len;
      best_q = q;
      if (len == limit) break;  // nothing further back can be longer or nearer
    }
  }
  return best >= 3 ? std::make_pair(best, best_q) : std::make_pair(0, std::size_t{0});
}

}  // namespace nolvo::codec::test
