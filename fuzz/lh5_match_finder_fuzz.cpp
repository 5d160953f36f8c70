// The -lh5- match finder against a full scan: every answer must be the longest match
// (at most the limit, longer than the floor asked for) and the nearest among equals,
// whichever positions were searched and whichever only added. The first byte chooses
// how often positions are searched and whether floors are asked.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/codec/lh5_match_finder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using nolvo::codec::Lh5MatchFinder;
  if (size < 2 || size > 2049) return 0;  // the full scan is quadratic
  const unsigned mode = data[0];
  const std::vector<std::uint8_t> in(data + 1, data + size);  // exactly the input, no slack
  const std::size_t n = in.size();
  auto finder = std::make_unique<Lh5MatchFinder>();
  const std::uint32_t first = 1 + (mode & 0x3F);
  std::uint32_t step = mode;  // cheap deterministic choices
  int previous = 0;
  for (std::size_t p = 0; p < n; ++p) {
    step = step * 1103515245u + 12345u;
    const int limit = static_cast<int>(std::min<std::size_t>(256, n - p));
    const auto at = first + static_cast<std::uint32_t>(p);
    if ((mode & 0x40) != 0 && (step >> 16) % 3 != 0) {
      if ((step >> 20) & 1) {
        finder->Add(at, in.data() + p, limit);
      } else {
        const std::size_t run = std::min<std::size_t>(1 + (step >> 24) % 9, n - p);
        finder->AddRun(at, in.data() + p, static_cast<int>(run), static_cast<std::int64_t>(n - p));
        p += run - 1;
      }
      continue;
    }
    const int floor = (mode & 0x80) != 0 ? previous : 2;
    const auto got = finder->Insert(at, in.data() + p, limit, floor);
    int best = 0;
    std::size_t best_q = 0;
    for (std::size_t q = p; q-- > 0;) {
      int len = 0;
      while (len < limit && in[q + len] == in[p + len]) ++len;
      if (len > best) {
        best = len;
        best_q = q;
        if (len == limit) break;
      }
    }
    if (best < 3) best = 0;
    previous = best;
    if (best <= floor) best = 0;
    if (got.length != best) __builtin_trap();
    if (best > 0 && got.position != first + best_q) __builtin_trap();
  }
  return 0;
}
