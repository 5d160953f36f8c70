// The -lh5- match finder against a full scan: every answer must be the longest match
// (at most 256 bytes, compared into the spaces that follow the input as in the
// encoder's text, longer than the floor asked for) and the nearest among equals,
// whichever positions were searched and whichever only added. The first byte chooses
// how often positions are searched and whether floors are asked.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/codec/lh5_match_finder.h"
#include "tests/codec/lh5_reference_match.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using nolvo::codec::Lh5MatchFinder;
  namespace test = nolvo::codec::test;
  if (size < 2 || size > 2049) return 0;  // the full scan is quadratic
  const unsigned mode = data[0];
  const std::vector<std::uint8_t> in(data + 1, data + size);
  const std::size_t n = in.size();
  std::vector<std::uint8_t> text = test::Lh5Text(in);  // exactly 256 bytes past the input
  text.shrink_to_fit();
  const test::PositionIndex index = test::IndexPositions(text, n);
  auto finder = std::make_unique<Lh5MatchFinder>();
  const std::uint32_t first = 1 + (mode & 0x3F);
  std::uint32_t step = mode;  // cheap deterministic choices
  int previous = 0;
  for (std::size_t p = 0; p < n; ++p) {
    step = step * 1103515245u + 12345u;
    const auto at = first + static_cast<std::uint32_t>(p);
    if ((mode & 0x40) != 0 && (step >> 16) % 3 != 0) {
      if ((step >> 20) & 1) {
        finder->Add(at, text.data() + p);
      } else {
        const std::size_t run = std::min<std::size_t>(1 + (step >> 24) % 9, n - p);
        finder->AddRun(at, text.data() + p, static_cast<int>(run));
        p += run - 1;
      }
      continue;
    }
    const int floor = (mode & 0x80) != 0 ? previous : 2;
    const auto got = finder->Insert(at, text.data() + p, floor);
    auto [best, best_q] = test::BruteForceMatch(text, index, p);
    previous = best;
    if (best <= floor) best = 0;
    if (got.length != best) __builtin_trap();
    if (best > 0 && got.position != first + best_q) __builtin_trap();
  }
  return 0;
}
