#include "archive/codec/lh5_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "archive/codec/codec_errors.h"
#include "archive/codec/lh5_huffman.h"
#include "tests/support/corpus.h"

namespace nolvo::codec {
namespace {

using Lengths = std::vector<std::uint8_t>;

// Decodes the 16-bit left-aligned `bits` through a table built with `table_bits` and
// its tree, as the decoder does; returns the symbol.
int Lookup(const std::vector<std::uint16_t>& table, const std::vector<std::uint16_t>& left,
           const std::vector<std::uint16_t>& right, int count, int table_bits, std::uint32_t bits) {
  int j = table[bits >> (16 - table_bits)];
  for (std::uint32_t mask = 1u << (15 - table_bits); j >= count; mask >>= 1) {
    EXPECT_NE(mask, 0u);
    if (mask == 0) return -1;
    j = (bits & mask) ? right[j] : left[j];
  }
  return j;
}

// Every code word, padded with any bits, must lead to its own symbol.
void ExpectTableDecodesCodes(const Lengths& lengths, int table_bits) {
  const int count = static_cast<int>(lengths.size());
  std::vector<std::uint16_t> table(1u << table_bits), left(2 * count), right(2 * count);
  Lh5BuildTable(count, lengths.data(), table_bits, table.data(), left.data(), right.data());
  std::vector<std::uint16_t> codes(count);
  Lh5AssignCodes(count, lengths.data(), codes.data());
  for (int s = 0; s < count; ++s) {
    if (lengths[s] == 0) continue;
    const std::uint32_t word = static_cast<std::uint32_t>(codes[s]) << (16 - lengths[s]);
    for (std::uint32_t pad : {0u, 0xFFFFu, 0x5555u}) {
      const std::uint32_t bits = word | (pad & ((1u << (16 - lengths[s])) - 1));
      ASSERT_EQ(Lookup(table, left, right, count, table_bits, bits), s) << "symbol " << s;
    }
  }
}

TEST(Lh5AssignCodes, CanonicalOrderShorterFirstThenBySymbol) {
  const Lengths lengths = {3, 2, 0, 3, 2, 2};
  std::vector<std::uint16_t> codes(6);
  Lh5AssignCodes(6, lengths.data(), codes.data());
  EXPECT_EQ(codes[1], 0b00);
  EXPECT_EQ(codes[4], 0b01);
  EXPECT_EQ(codes[5], 0b10);
  EXPECT_EQ(codes[0], 0b110);
  EXPECT_EQ(codes[3], 0b111);
}

TEST(Lh5BuildTable, ShortAndLongCodesResolve) {
  ExpectTableDecodesCodes({3, 2, 0, 3, 2, 2}, 8);
  // Lengths 1..15 and two of 16: deep tree walks below an 8- and a 12-bit table.
  Lengths deep(19, 0);
  for (int i = 0; i < 15; ++i) deep[i + 2] = static_cast<std::uint8_t>(i + 1);
  deep[0] = deep[18] = 16;
  ExpectTableDecodesCodes(deep, 8);
  Lengths wide(kLh5SymbolCount, 9);
  wide[7] = wide[300] = 8;
  ExpectTableDecodesCodes(wide, 12);
}

TEST(Lh5BuildTable, CodesBuiltFromFrequenciesResolve) {
  nolvo::test::Rng rng(7);
  for (int round = 0; round < 40; ++round) {
    const int count = round % 2 ? kLh5SymbolCount : 19;
    std::vector<std::uint32_t> freq(2 * count);
    for (int s = 0; s < count; ++s) {
      // Wildly skewed frequencies, many absent.
      freq[s] = rng.Below(3) == 0 ? 0 : 1u << rng.Below(round % 20 + 1);
    }
    Lengths lengths(count);
    std::vector<std::uint16_t> codes(count);
    const int root = Lh5MakeCode(count, freq.data(), lengths.data(), codes.data());
    if (root >= count) ExpectTableDecodesCodes(lengths, count == 19 ? 8 : 12);
  }
}

TEST(Lh5BuildTable, RejectsCodesThatAreNotCompletePrefixCodes) {
  std::vector<std::uint16_t> table(256), left(64), right(64);
  auto build = [&](const Lengths& lengths) {
    Lh5BuildTable(static_cast<int>(lengths.size()), lengths.data(), 8, table.data(), left.data(),
                  right.data());
  };
  EXPECT_THROW(build(Lengths(19, 0)), ELZHBadDecodeTable);   // nothing at all
  EXPECT_THROW(build({1, 2, 3, 0, 0}), ELZHBadDecodeTable);  // a gap
  EXPECT_THROW(build({1, 1, 1, 1, 0}), ELZHBadDecodeTable);  // twice over, sum 2^17
  EXPECT_THROW(build({1, 1, 17, 0}), ELZHBadDecodeTable);    // longer than 16
  Lengths wrap(19, 0);
  wrap[0] = 1;
  wrap[1] = 17;  // would pass a test of the sum modulo 2^16 only with more lengths
  EXPECT_THROW(build(wrap), ELZHBadDecodeTable);
  EXPECT_NO_THROW(build({1, 2, 2}));
}

TEST(Lh5MakeCode, TiesFollowTheHeapRules) {
  // Three equal frequencies: the middle symbol is taken last and gets the short code.
  std::vector<std::uint32_t> freq = {1, 1, 1, 0, 0};
  Lengths lengths(3);
  std::vector<std::uint16_t> codes(3);
  EXPECT_EQ(Lh5MakeCode(3, freq.data(), lengths.data(), codes.data()), 4);
  EXPECT_EQ(lengths, (Lengths{2, 1, 2}));
  EXPECT_EQ(codes[1], 0b0);
  EXPECT_EQ(codes[0], 0b10);
  EXPECT_EQ(codes[2], 0b11);

  std::vector<std::uint32_t> freq4 = {5, 2, 2, 2, 0, 0, 0};
  Lengths lengths4(4);
  std::vector<std::uint16_t> codes4(4);
  Lh5MakeCode(4, freq4.data(), lengths4.data(), codes4.data());
  // Symbols 1 and 3 are joined first (the left child wins the tie), then 2 with them.
  EXPECT_EQ(lengths4, (Lengths{1, 3, 2, 3}));
}

TEST(Lh5MakeCode, FewerThanTwoSymbolsGiveALeafRoot) {
  std::vector<std::uint32_t> freq(2 * 14, 0);
  Lengths lengths(14, 9);
  std::vector<std::uint16_t> codes(14, 9);
  EXPECT_EQ(Lh5MakeCode(14, freq.data(), lengths.data(), codes.data()), 0);
  EXPECT_EQ(lengths, Lengths(14, 0));
  freq[9] = 40;
  EXPECT_EQ(Lh5MakeCode(14, freq.data(), lengths.data(), codes.data()), 9);
  EXPECT_EQ(lengths[9], 0);
  EXPECT_EQ(codes[9], 0);
}

TEST(Lh5MakeCode, DeepTreesAreLimitedTo16BitsAndStayComplete) {
  // Fibonacci frequencies make a tree 29 levels deep.
  const int count = 30;
  std::vector<std::uint32_t> freq(2 * count);
  freq[0] = freq[1] = 1;
  for (int i = 2; i < count; ++i) freq[i] = freq[i - 1] + freq[i - 2];
  const std::vector<std::uint32_t> original(freq.begin(), freq.begin() + count);
  Lengths lengths(count);
  std::vector<std::uint16_t> codes(count);
  ASSERT_GE(Lh5MakeCode(count, freq.data(), lengths.data(), codes.data()), count);
  std::uint32_t sum = 0;
  for (int s = 0; s < count; ++s) {
    ASSERT_GE(lengths[s], 1);
    ASSERT_LE(lengths[s], 16);
    sum += 1u << (16 - lengths[s]);
  }
  EXPECT_EQ(sum, 65536u);
  // A more frequent symbol never gets a longer code.
  for (int s = 1; s < count; ++s) EXPECT_LE(lengths[s], lengths[s - 1]) << s;
  EXPECT_EQ(lengths[0], 16);
  EXPECT_EQ(lengths[count - 1], 1);
  ExpectTableDecodesCodes(lengths, 8);
}

}  // namespace
}  // namespace nolvo::codec
