#include "archive/codec/lh5_match_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "lh5_reference_match.h"
#include "tests/support/corpus.h"

namespace nolvo::codec {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Adds every position of `in`, searching about one in `search_one_in` of them (the
// others are added one by one or in runs), and checks each answer against a full scan
// of the 8192 positions before it that share its first three bytes: longest (at most
// 256, compared into the bytes the encoder's text holds past the input), nearest
// among equals. `before` stands readable in front of the first position but must
// never be matched; nothing is readable beyond the 256 bytes past the last position.
// With `floors` each search asks only for a match longer than a floor: the previous
// search's answer (as the encoder's look-ahead does) or a random length.
void ExpectFinderMatchesBruteForce(const Bytes& in, const char* name,
                                   std::uint32_t search_one_in = 1, const Bytes& before = {},
                                   bool floors = false) {
  const Bytes text = test::Lh5Text(in);
  Bytes buffer = before;
  buffer.insert(buffer.end(), text.begin(), text.end());
  buffer.shrink_to_fit();
  const std::uint8_t* data = buffer.data() + before.size();
  nolvo::test::Rng rng(search_one_in);
  const test::PositionIndex index = test::IndexPositions(text, in.size());
  auto finder = std::make_unique<Lh5MatchFinder>();
  const std::uint32_t first = 1000;  // finder positions are offset from input indexes
  int previous = 0;
  for (std::size_t p = 0; p < in.size(); ++p) {
    if (search_one_in > 1 && rng.Below(search_one_in) != 0) {
      const auto at = first + static_cast<std::uint32_t>(p);
      if (rng.Below(2) == 0) {
        finder->Add(at, data + p);
      } else {
        const std::size_t run =
            std::min<std::size_t>(1 + rng.Below(3 * search_one_in), in.size() - p);
        finder->AddRun(at, data + p, static_cast<int>(run));
        p += run - 1;
      }
      continue;
    }
    int floor = 2;
    if (floors) floor = rng.Below(2) == 0 ? previous : static_cast<int>(rng.Below(260));
    const auto got = finder->Insert(first + static_cast<std::uint32_t>(p), data + p, floor);
    auto [best, best_q] = test::BruteForceMatch(text, index, p);
    previous = best;
    if (best <= floor) best = 0;
    ASSERT_EQ(got.length, best) << name << " at " << p << " floor " << floor;
    if (best > 0) {
      ASSERT_EQ(got.position, first + best_q) << name << " at " << p;
    }
  }
}

TEST(Lh5MatchFinder, LongestAndNearestLikeAFullScan) {
  nolvo::test::Rng rng(3);
  Bytes small_alphabet(8400);
  for (auto& b : small_alphabet) b = static_cast<std::uint8_t>('a' + rng.Below(3));
  Bytes periodic;
  for (int i = 0; i < 9000; ++i) periodic.push_back(static_cast<std::uint8_t>("abcab"[i % 5]));
  Bytes runs;
  for (int i = 0; i < 30; ++i)
    runs.insert(runs.end(), 1 + rng.Below(300), static_cast<std::uint8_t>(rng.Below(2)));
  // The same block 8192 and 8193 bytes apart: the window's edge.
  Bytes edge = nolvo::test::RandomCorpus(8193, 4);
  edge.insert(edge.end(), edge.begin(), edge.begin() + 600);

  ExpectFinderMatchesBruteForce(small_alphabet, "three letters");
  ExpectFinderMatchesBruteForce(periodic, "period 5");
  ExpectFinderMatchesBruteForce(runs, "runs");
  ExpectFinderMatchesBruteForce(edge, "window edge");
  ExpectFinderMatchesBruteForce(nolvo::test::TextCorpus(17000, 5), "text");
  ExpectFinderMatchesBruteForce(Bytes(9000, 0), "zeros");
}

TEST(Lh5MatchFinder, PositionsOnlyAddedStillMatchLater) {
  nolvo::test::Rng rng(8);
  Bytes runs;
  // Runs of one byte ending in different bytes, and short periods: equal stretches
  // whose best match is decided far from their start.
  for (int i = 0; i < 120; ++i) {
    runs.insert(runs.end(), 1 + rng.Below(400), static_cast<std::uint8_t>(rng.Below(2)));
    for (std::uint32_t k = 0, n = rng.Below(40); k < n; ++k)
      runs.push_back(static_cast<std::uint8_t>("ab\xFF"[k % 3]));
  }
  ExpectFinderMatchesBruteForce(runs, "runs, one in 7", 7);
  ExpectFinderMatchesBruteForce(runs, "runs, one in 40", 40);
  ExpectFinderMatchesBruteForce(nolvo::test::TextCorpus(30000, 6), "text, one in 4", 4);
  ExpectFinderMatchesBruteForce(nolvo::test::BinaryCorpus(30000, 7), "binary, one in 3", 3);
}

TEST(Lh5MatchFinder, AFloorAsksOnlyForALongerMatch) {
  nolvo::test::Rng rng(10);
  Bytes runs;
  for (int i = 0; i < 60; ++i) {
    runs.insert(runs.end(), 1 + rng.Below(400), static_cast<std::uint8_t>(rng.Below(3)));
    for (std::uint32_t k = 0, n = rng.Below(300); k < n; ++k)
      runs.push_back(static_cast<std::uint8_t>("abcab"[k % 5]));
  }
  ExpectFinderMatchesBruteForce(runs, "runs and periods", 1, {}, true);
  ExpectFinderMatchesBruteForce(runs, "runs and periods, one in 5", 5, {}, true);
  ExpectFinderMatchesBruteForce(nolvo::test::TextCorpus(20000, 11), "text", 2, {}, true);
  ExpectFinderMatchesBruteForce(nolvo::test::BinaryCorpus(20000, 12), "binary", 1, {}, true);
}

TEST(Lh5MatchFinder, BytesBeforeTheFirstPositionAreNeverMatched) {
  // The encoder's dictionary starts as spaces that were never positions.
  ExpectFinderMatchesBruteForce(nolvo::test::TextCorpus(17000, 5), "text after spaces", 1,
                                Bytes(300, ' '));
  const Bytes text = nolvo::test::TextCorpus(9000, 9);
  ExpectFinderMatchesBruteForce(text, "text after itself", 2, text);
}

}  // namespace
}  // namespace nolvo::codec
