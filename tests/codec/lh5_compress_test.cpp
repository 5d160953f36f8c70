#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "archive/codec/codec_context.h"
#include "archive/codec/codec_run.h"
#include "archive/codec/lh5.h"
#include "lh5_stream_builder.h"
#include "platform/byte_stream.h"
#include "tests/support/corpus.h"

namespace nolvo::codec {
namespace {

using platform::MemoryStream;
using Bytes = std::vector<std::uint8_t>;

CodecComponent Margin(std::int32_t margin) {
  CodecComponent c;
  c.SizeMargin = margin;
  return c;
}

struct Token {
  int symbol;
  std::uint32_t distance;
  bool operator==(const Token&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Token& t) {
  return os << "{" << t.symbol << "," << t.distance << "}";
}

struct Compressed {
  Bytes stored;
  std::int32_t checksum = 0;
  std::int32_t result = 0;
};

Compressed Compress(const Bytes& data, const CodecComponent& component = {}) {
  MemoryStream source(data);
  MemoryStream dest;
  Compressed c;
  c.result = RunCodec(component, dest, source, static_cast<std::int32_t>(data.size()), 0,
                      TCompressionMethod::coLZH5, c.checksum, TCodecDirection::cdCompress);
  c.stored = dest.Bytes();
  return c;
}

// Decodes `stored` and returns its tokens; block sizes go to `blocks`.
std::vector<Token> Tokens(const Bytes& stored, std::size_t original_size,
                          std::vector<std::uint32_t>* blocks = nullptr, Bytes* output = nullptr) {
  MemoryStream source(stored);
  MemoryStream dest;
  CodecContext context(CodecComponent{}, dest, source, static_cast<std::int32_t>(stored.size()),
                       TCodecDirection::cdExpand);
  std::vector<Token> tokens;
  Lh5ExpandObserved(context, static_cast<std::int32_t>(original_size),
                    [&](int symbol, std::uint32_t d) {
                      if (symbol < 0) {
                        if (blocks != nullptr) blocks->push_back(d);
                      } else {
                        tokens.push_back({symbol, d});
                      }
                    });
  context.FlushDest();
  if (output != nullptr) *output = dest.Bytes();
  return tokens;
}

TEST(Lh5Compress, EmptyInputWritesNothing) {
  const Compressed c = Compress({});
  EXPECT_TRUE(c.stored.empty());
  EXPECT_EQ(c.checksum, 0);
  EXPECT_EQ(c.result, 0);
}

TEST(Lh5Compress, OneOrTwoEqualBytesUseTheSingleSymbolForms) {
  for (std::uint16_t n : {1, 2}) {
    test::BitString expected;
    test::SingleSymbolBlock(expected, n, 'A', 0);
    expected.Put(7, 0);
    Bytes bytes = expected.Bytes();
    bytes.resize(expected.BitCount() / 8);  // a partly filled last byte is not written
    const Compressed c = Compress(Bytes(n, 'A'), Margin(-64));
    EXPECT_EQ(c.stored, bytes);
    EXPECT_EQ(c.result, static_cast<std::int32_t>(bytes.size()));
    EXPECT_EQ(c.checksum, n * 'A');
  }
}

TEST(Lh5Compress, InputsShorterThanThreeBytesAreLiterals) {
  const Compressed c = Compress(Bytes{'a', 'b'}, Margin(-64));
  EXPECT_EQ(Tokens(c.stored, 2), (std::vector<Token>{{'a', 0}, {'b', 0}}));
}

TEST(Lh5Compress, ANewBlockStartsOnceTheItemBufferPasses16360Bytes) {
  const Bytes data = nolvo::test::BinaryCorpus(120000, 25);
  const Compressed c = Compress(data);
  std::vector<std::uint32_t> blocks;
  const auto tokens = Tokens(c.stored, data.size(), &blocks);
  // Replay the item buffer: a flag byte per group of eight, one byte per literal and
  // three per match; a group due at 16360 bytes or more sends the block first.
  std::vector<std::uint32_t> expected;
  int used = 0;
  int in_group = 8;
  std::uint32_t in_block = 0;
  for (const Token& t : tokens) {
    if (in_group == 8) {
      if (used >= 16360) {
        expected.push_back(in_block);
        used = 0;
        in_block = 0;
      }
      ++used;
      in_group = 0;
    }
    ++in_group;
    used += t.symbol < 256 ? 1 : 3;
    ++in_block;
  }
  expected.push_back(in_block);
  EXPECT_GT(expected.size(), 2u);
  EXPECT_EQ(blocks, expected);
}

TEST(Lh5Compress, KeyedOutputDiffersOnlyByTheRepeatingXor) {
  const Bytes data = nolvo::test::TextCorpus(30000, 26);
  const Compressed plain = Compress(data);
  CodecComponent keyed;
  keyed.Key = 0x0102A0FF;
  const Compressed scrambled = Compress(data, keyed);
  ASSERT_EQ(plain.stored.size(), scrambled.stored.size());
  const std::uint8_t key[4] = {0xFF, 0xA0, 0x02, 0x01};
  for (std::size_t i = 0; i < plain.stored.size(); ++i)
    ASSERT_EQ(scrambled.stored[i], plain.stored[i] ^ key[i % 4]) << i;
  EXPECT_EQ(plain.checksum, scrambled.checksum);
  EXPECT_EQ(static_cast<std::uint32_t>(plain.checksum),
            std::accumulate(data.begin(), data.end(), std::uint32_t{0}));
}

TEST(Lh5Compress, OutputLongerThanTheBudgetCannotCompress) {
  const Bytes noise = nolvo::test::RandomCorpus(50000, 27);
  MemoryStream source(noise);
  MemoryStream dest;
  std::int32_t checksum = 0;
  EXPECT_THROW(RunCodec(CodecComponent{}, dest, source, 50000, 0, TCompressionMethod::coLZH5,
                        checksum, TCodecDirection::cdCompress),
               EUnableToCompress);
  // Only whole chunks reached Dest before the failure.
  EXPECT_EQ(dest.Bytes().size() % 8192, 0u);

  // The margin shrinks the budget: text compresses to ~30%, not below 5%.
  const Bytes text = nolvo::test::TextCorpus(50000, 28);
  CodecComponent margin;
  margin.SizeMargin = 47500;
  EXPECT_THROW(Compress(text, margin), EUnableToCompress);
  margin.SizeMargin = 25000;
  EXPECT_NO_THROW(Compress(text, margin));
}

TEST(Lh5Compress, ProgressCountsOriginalBytesRead) {
  const Bytes data = nolvo::test::TextCorpus(20000, 29);
  CodecComponent component;
  std::vector<int> reports;
  component.OnShowProgress = [&](int& p) { reports.push_back(p); };
  Compress(data, component);
  EXPECT_EQ(reports, (std::vector<int>{40, 81, 100}));
}

TEST(Lh5Compress, RoundTripsOverCorporaAndSizes) {
  CodecComponent roomy;
  roomy.SizeMargin = -4096;  // lets incompressible data through
  std::vector<Bytes> inputs;
  for (std::size_t n : {1u, 2u, 3u, 4u, 255u, 256u, 257u, 8191u, 8192u, 8193u, 16384u, 100000u}) {
    inputs.push_back(nolvo::test::TextCorpus(n, n));
    inputs.push_back(nolvo::test::RandomCorpus(n, n));
  }
  inputs.push_back(nolvo::test::BinaryCorpus(700000, 30));
  inputs.push_back(nolvo::test::RepetitiveCorpus(700000, 31));
  inputs.push_back(Bytes(300000, 0));
  for (const Bytes& data : inputs) {
    const Compressed c = Compress(data, roomy);
    MemoryStream source(c.stored);
    MemoryStream dest;
    std::int32_t checksum = 0;
    RunCodec(CodecComponent{}, dest, source, c.result, static_cast<std::int32_t>(data.size()),
             TCompressionMethod::coLZH5, checksum, TCodecDirection::cdExpand);
    ASSERT_EQ(dest.Bytes(), data) << "size " << data.size();
    EXPECT_EQ(checksum, c.checksum);
    EXPECT_EQ(source.Position(), c.result);
  }
}

}  // namespace
}  // namespace nolvo::codec
