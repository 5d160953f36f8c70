#include "archive/codec/lzhuf_tree.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "archive/codec/lzhuf_position_code.h"

namespace nolvo::codec {
namespace {

constexpr int kNodes = LzhufTree::kNodes;
constexpr int kRoot = LzhufTree::kRoot;

// The code of a symbol read from the tree: node parities from the root down.
std::vector<int> CodeOf(const LzhufTree& tree, int symbol) {
  std::vector<int> bits;
  for (int n = tree.leaf(symbol); n != kRoot; n = tree.parent(n)) bits.insert(bits.begin(), n & 1);
  return bits;
}

// Checks the shape every update must keep: counts ordered over the nodes, each
// inner node counting its two children, links agreeing both ways, one leaf per
// symbol, and descending by code bits from the root reaches each symbol.
void ExpectConsistent(const LzhufTree& tree, const std::vector<unsigned>& counts) {
  std::vector<int> seen(LzhufTree::kSymbols, 0);
  for (int n = 0; n < kNodes; ++n) {
    if (n + 1 < kNodes) {
      ASSERT_LE(tree.freq(n), tree.freq(n + 1)) << "node " << n;
    }
    const int s = tree.son(n);
    if (s >= kNodes) {
      const int symbol = s - kNodes;
      ASSERT_LT(symbol, LzhufTree::kSymbols);
      ++seen[symbol];
      ASSERT_EQ(tree.leaf(symbol), n);
    } else {
      ASSERT_LT(s, n) << "children come before their parent";
      ASSERT_EQ(s % 2, 0);
      ASSERT_EQ(tree.parent(s), n);
      ASSERT_EQ(tree.parent(s + 1), n);
      ASSERT_EQ(tree.freq(n), tree.freq(s) + tree.freq(s + 1)) << "node " << n;
    }
  }
  for (int symbol = 0; symbol < LzhufTree::kSymbols; ++symbol) {
    ASSERT_EQ(seen[symbol], 1);
    int n = tree.son(kRoot);
    for (int bit : CodeOf(tree, symbol)) {
      ASSERT_LT(n, kNodes);
      n = tree.son(n + bit);
    }
    ASSERT_EQ(n, symbol + kNodes);
  }
  if (!counts.empty()) {
    unsigned total = 0;
    for (int symbol = 0; symbol < LzhufTree::kSymbols; ++symbol) {
      total += tree.freq(tree.leaf(symbol));
      ASSERT_EQ(tree.freq(tree.leaf(symbol)), counts[symbol]) << "symbol " << symbol;
    }
    ASSERT_EQ(tree.freq(kRoot), total);
  }
}

TEST(LzhufTree, InitialCodes) {
  LzhufTree tree;
  EXPECT_EQ(tree.freq(kRoot), 314);
  // Worked out by hand from the initial pairing, where node i's parent is 314 + i / 2.
  EXPECT_EQ(CodeOf(tree, 'A'), (std::vector<int>{1, 1, 1, 0, 0, 1, 1, 0, 1}));
  EXPECT_EQ(CodeOf(tree, 263), (std::vector<int>{1, 0, 0, 1, 0, 0, 1, 1}));
  EXPECT_EQ(CodeOf(tree, 0).size(), 9u);
  EXPECT_EQ(CodeOf(tree, 313).size(), 8u);
  ExpectConsistent(tree, std::vector<unsigned>(LzhufTree::kSymbols, 1));
}

TEST(LzhufTree, UpdatesKeepTheTreeOrderedAndShortenFrequentCodes) {
  LzhufTree tree;
  std::vector<unsigned> counts(LzhufTree::kSymbols, 1);
  std::mt19937 rng(5);
  for (int i = 0; i < 3000; ++i) {
    // Skewed symbols, as in real data.
    const int symbol = static_cast<int>(rng() % 4 == 0 ? rng() % 314 : rng() % 12);
    tree.Update(symbol);
    ++counts[symbol];
    if (i % 500 == 0) ExpectConsistent(tree, counts);
  }
  ExpectConsistent(tree, counts);
  EXPECT_LT(CodeOf(tree, 3).size(), CodeOf(tree, 200).size());
}

TEST(LzhufTree, RebuildsAtThe32455thSymbol) {
  LzhufTree tree;
  std::vector<unsigned> counts(LzhufTree::kSymbols, 1);
  std::mt19937 rng(9);
  // The root starts at 314 and counts every symbol: 32454 symbols bring it to 0x8000.
  for (int i = 0; i < 32454; ++i) {
    const int symbol = static_cast<int>(rng() % 300);
    tree.Update(symbol);
    ++counts[symbol];
  }
  ASSERT_EQ(tree.freq(kRoot), 0x8000);
  ExpectConsistent(tree, counts);

  // The next symbol halves every count (rounding up) before it is counted.
  tree.Update(7);
  for (unsigned& c : counts) c = (c + 1) / 2;
  ++counts[7];
  ExpectConsistent(tree, counts);
  EXPECT_LT(tree.freq(kRoot), 0x8000 / 2 + 314);

  // Updates go on from the rebuilt tree as before.
  for (int i = 0; i < 40000; ++i) {
    const int symbol = static_cast<int>(rng() % 314);
    tree.Update(symbol);
  }
  ExpectConsistent(tree, {});
}

TEST(LzhufPositionCode, CanonicalCodes) {
  const auto& t = kLzhufPositionTables;
  const std::pair<int, int> known[] = {{0, 0x00},  {1, 0x20},  {2, 0x30},  {3, 0x40},  {4, 0x50},
                                       {5, 0x58},  {12, 0x90}, {13, 0x94}, {24, 0xC0}, {25, 0xC2},
                                       {48, 0xF0}, {49, 0xF1}, {63, 0xFF}};
  for (auto [u, code] : known) EXPECT_EQ(t.code[u], code) << "u " << u;
  // The lookup inverts the codes for every 8-bit value that starts with them.
  for (int u = 0; u < 64; ++u) {
    const int len = LzhufPositionCodeLength(u);
    for (int tail = 0; tail < (1 << (8 - len)); ++tail) {
      EXPECT_EQ(t.upper[t.code[u] + tail], u);
      EXPECT_EQ(t.length[t.code[u] + tail], len);
    }
  }
}

}  // namespace
}  // namespace nolvo::codec
