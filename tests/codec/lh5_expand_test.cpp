#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <typeinfo>
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
using test::BitString;
using test::Lh5BlockBuilder;

using Bytes = std::vector<std::uint8_t>;

struct Expanded {
  Bytes output;
  std::int32_t checksum = -1;
  std::int64_t source_position = 0;
};

Expanded Expand(const Bytes& stored, std::int32_t original_size, std::int32_t source_size = -1,
                const CodecComponent& component = {}, bool keyed = false) {
  MemoryStream source(stored);
  MemoryStream dest;
  Expanded result;
  RunCodec(component, dest, source,
           source_size < 0 ? static_cast<std::int32_t>(stored.size()) : source_size, original_size,
           TCompressionMethod::coLZH5, result.checksum,
           keyed ? TCodecDirection::cdExpandKeyed : TCodecDirection::cdExpand);
  result.output = dest.Bytes();
  result.source_position = source.Position();
  return result;
}

Bytes Compress(const Bytes& data, const CodecComponent& component = {}) {
  MemoryStream source(data);
  MemoryStream dest;
  std::int32_t checksum = 0;
  RunCodec(component, dest, source, static_cast<std::int32_t>(data.size()), 0,
           TCompressionMethod::coLZH5, checksum, TCodecDirection::cdCompress);
  return dest.Bytes();
}

std::uint32_t Sum(const Bytes& b) { return std::accumulate(b.begin(), b.end(), std::uint32_t{0}); }

TEST(Lh5Expand, ZeroOriginalSizeWritesAndReadsNothing) {
  const Expanded e = Expand(Bytes{1, 2, 3}, 0);
  EXPECT_TRUE(e.output.empty());
  EXPECT_EQ(e.checksum, 0);
  EXPECT_EQ(e.source_position, 0);
}

TEST(Lh5Expand, SingleSymbolBlockCostsZeroBitsPerSymbol) {
  BitString s;
  test::SingleSymbolBlock(s, 5, 'Q', 0);
  const Expanded e = Expand(s.Bytes(), 5);
  EXPECT_EQ(e.output, Bytes(5, 'Q'));
  EXPECT_EQ(e.checksum, 5 * 'Q');
  // The last stored byte is needed, so the source is read to its end.
  EXPECT_EQ(e.source_position, static_cast<std::int64_t>(s.Bytes().size()));
}

TEST(Lh5Expand, BlockSizeZeroMeans65536Symbols) {
  BitString s;
  test::SingleSymbolBlock(s, 0, 'A', 0);
  test::SingleSymbolBlock(s, 100, 'B', 0);
  std::vector<std::uint32_t> blocks;
  MemoryStream source(s.Bytes());
  MemoryStream dest;
  CodecContext context(CodecComponent{}, dest, source, static_cast<std::int32_t>(s.Bytes().size()),
                       TCodecDirection::cdExpand);
  Lh5ExpandObserved(context, 65636, [&](int symbol, std::uint32_t size) {
    if (symbol < 0) blocks.push_back(size);
  });
  context.FlushDest();
  Bytes expected(65536, 'A');
  expected.insert(expected.end(), 100, 'B');
  EXPECT_EQ(dest.Bytes(), expected);
  EXPECT_EQ(blocks, (std::vector<std::uint32_t>{0, 100}));
}

TEST(Lh5Expand, MatchBeforeTheStartReadsSpacesAndIsWrittenWhole) {
  BitString s;
  test::SingleSymbolBlock(s, 1, 256 + 7, 0);  // one match of 10 bytes, distance 0
  const Expanded e = Expand(s.Bytes(), 4);
  EXPECT_EQ(e.output, Bytes(10, 0x20));
  EXPECT_EQ(e.checksum, 10 * 0x20);
}

TEST(Lh5Expand, DistancesZeroAndMaximumAndOverlappingCopies) {
  BitString s;
  Lh5BlockBuilder block(s, 8192 + 4, test::FlatSymbolLengths(), test::FlatDistanceLengths());
  Bytes expected;
  for (int i = 0; i < 8192; ++i) {
    const auto b = static_cast<std::uint8_t>(i * 7 + i / 256);
    block.Literal(b);
    expected.push_back(b);
  }
  // 8191 reaches the byte written 8192 positions earlier, read before it is replaced.
  block.Match(20, 8191);
  for (int k = 0; k < 20; ++k) expected.push_back(expected[expected.size() - 8192]);
  // Distance 0 repeats the previous byte.
  block.Match(5, 0);
  for (int k = 0; k < 5; ++k) expected.push_back(expected.back());
  // A distance shorter than the length repeats the recent bytes.
  block.Match(256, 2);
  for (int k = 0; k < 256; ++k) expected.push_back(expected[expected.size() - 3]);
  // Just under a lap back: the source lies just ahead of the write position.
  block.Match(40, 8188);
  for (int k = 0; k < 40; ++k) expected.push_back(expected[expected.size() - 8189]);
  const Expanded e = Expand(s.Bytes(), static_cast<std::int32_t>(expected.size()));
  EXPECT_EQ(e.output, expected);
  EXPECT_EQ(static_cast<std::uint32_t>(e.checksum), Sum(expected));
}

TEST(Lh5Expand, CodesLongerThanTheLookupTablesWalkTheTree) {
  // Symbol code: lengths 1..15 for symbols 'a'.., then two of 16 bits.
  std::vector<std::uint8_t> lengths(kLh5SymbolCount, 0);
  for (int i = 0; i < 15; ++i) lengths['a' + i] = static_cast<std::uint8_t>(i + 1);
  lengths['a' + 15] = 16;
  lengths[256 + 1] = 16;  // match length 4
  // Distance code: lengths 1..13, then 13.
  std::vector<std::uint8_t> distances(14);
  for (int i = 0; i < 13; ++i) distances[i] = static_cast<std::uint8_t>(i + 1);
  distances[13] = 13;
  BitString s;
  Lh5BlockBuilder block(s, 24, lengths, distances);
  Bytes expected;
  for (int i = 15; i >= 0; --i) {
    block.Literal('a' + i);
    expected.push_back(static_cast<std::uint8_t>('a' + i));
  }
  for (std::uint32_t d : {0u, 9u, 2047u, 4096u, 8191u, 15u, 1u, 3u}) {
    block.Match(4, d);
    const std::size_t from = expected.size() - d - 1;
    for (int k = 0; k < 4; ++k) {
      const std::size_t at = from + k;
      expected.push_back(at < expected.size() && d + 1 <= expected.size() ? expected[at] : 0x20);
    }
  }
  const Expanded e = Expand(s.Bytes(), static_cast<std::int32_t>(expected.size()));
  EXPECT_EQ(e.output, expected);
}

// Runs a stream that must be refused as a bad table.
void ExpectBadTable(const BitString& s, std::int32_t original_size = 100) {
  Bytes stored = s.Bytes();
  stored.resize(stored.size() + 64, 0);  // enough data that nothing reads as truncated
  EXPECT_THROW(Expand(stored, original_size), ELZHBadDecodeTable);
}

TEST(Lh5Expand, IncompleteOverfullAndOverlongCodesAreBadTables) {
  {  // every symbol 9 bits: the code leaves a gap
    BitString s;
    Lh5BlockBuilder block(s, 1, std::vector<std::uint8_t>(kLh5SymbolCount, 9), {});
    ExpectBadTable(s);
  }
  {  // four symbols of 1 bit: twice too full, yet a multiple of 2^16
    std::vector<std::uint8_t> lengths(kLh5SymbolCount, 0);
    lengths[1] = lengths[2] = lengths[3] = lengths[4] = 1;
    BitString s;
    Lh5BlockBuilder block(s, 1, lengths, {});
    ExpectBadTable(s);
  }
  {  // a distance code with a nonzero count but no lengths
    BitString u;
    u.Put(16, 1);
    u.Put(5, 0);
    u.Put(5, 0);
    u.Put(9, 0);
    u.Put(9, 'x');
    u.Put(4, 3);
    u.Put(9, 0);  // three lengths of 0
    ExpectBadTable(u);
  }
  {  // a code-length code length of 17 (unary extension)
    BitString s;
    s.Put(16, 1);
    s.Put(5, 2);
    s.Put(14, (1u << 14) - 2);  // 13 one-bits and a zero: 7 + 10 = 17
    s.Put(3, 1);
    ExpectBadTable(s);
  }
}

TEST(Lh5Expand, SymbolLengthsPastTheAlphabetAreBadTables) {
  // Code-length code: symbols 0, 1, 2 with lengths 1, 2, 2 (codes 0, 10, 11).
  auto header = [](BitString& s, std::uint32_t count) {
    s.Put(16, 1);
    s.Put(5, 3);
    s.Put(3, 1);
    s.Put(3, 2);
    s.Put(3, 2);
    s.Put(2, 0);
    s.Put(9, count);
  };
  {  // a zero run of 531 from the start
    BitString s;
    header(s, 510);
    s.Put(2, 3);
    s.Put(9, 511);
    ExpectBadTable(s);
  }
  {  // 495 single zeros, then a run of 20 that would end at 515
    BitString s;
    header(s, 510);
    for (int i = 0; i < 495; ++i) s.Put(1, 0);
    s.Put(2, 3);
    s.Put(9, 0);
    ExpectBadTable(s);
  }
  {  // a count of 511 lengths
    BitString s;
    header(s, 511);
    for (int i = 0; i < 511; ++i) s.Put(1, 0);
    ExpectBadTable(s);
  }
}

TEST(Lh5Expand, SingleSymbolOutsideTheAlphabetFailsOnlyWhenUsed) {
  {
    BitString s;
    test::SingleSymbolBlock(s, 3, 510, 0);
    ExpectBadTable(s);
  }
  {  // the distance code names code 15, but the block has only literals
    BitString s;
    test::SingleSymbolBlock(s, 3, 'z', 15);
    EXPECT_EQ(Expand(s.Bytes(), 3).output, Bytes(3, 'z'));
  }
  {  // ... and a block that does use it fails
    BitString s;
    test::SingleSymbolBlock(s, 3, 300, 15);
    ExpectBadTable(s);
  }
  {  // a code-length code of one symbol outside its alphabet
    BitString s;
    s.Put(16, 1);
    s.Put(5, 0);
    s.Put(5, 25);
    s.Put(9, 4);
    ExpectBadTable(s);
  }
}

TEST(Lh5Expand, LengthsPastASmallAlphabetAreIgnored) {
  // A distance header naming 15 lengths: the 15th is read and dropped.
  BitString t;
  t.Put(16, 2);
  t.Put(5, 0);
  t.Put(5, 0);
  t.Put(9, 0);
  t.Put(9, 256);  // every symbol: a match of 3
  t.Put(4, 15);
  for (int i = 0; i < 14; ++i) t.Put(3, i < 2 ? 3 : 4);  // FlatDistanceLengths
  t.Put(3, 5);                                           // past the alphabet
  // Two matches at distance code 0 (code 000) and 1 (code 001).
  t.Put(3, 0);
  t.Put(3, 1);
  const Expanded e = Expand(t.Bytes(), 6);
  EXPECT_EQ(e.output, Bytes(6, 0x20));
}

TEST(Lh5Expand, EveryTruncationIsReportedAsTruncatedData) {
  const Bytes data = nolvo::test::TextCorpus(6000, 11);
  const Bytes stored = Compress(data);
  ASSERT_EQ(Expand(stored, 6000).output, data);
  for (std::size_t cut = 0; cut < stored.size(); ++cut) {
    const Bytes part(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_THROW(Expand(part, 6000), ETruncatedData) << "cut at " << cut;
    // A source that ends before its stated size behaves the same.
    EXPECT_THROW(Expand(part, 6000, static_cast<std::int32_t>(stored.size())), ETruncatedData)
        << "short source at " << cut;
  }
}

TEST(Lh5Expand, HugeOriginalSizeOverFewBytesStopsAtOnce) {
  const Bytes stored = {0x12, 0x34, 0x56};
  EXPECT_THROW(Expand(stored, 2000000000), ECompressError);
}

TEST(Lh5Expand, CancelFromTheProgressHandlerIsTruncatedData) {
  const Bytes data = nolvo::test::RandomCorpus(30000, 5);
  CodecComponent big_margin;
  big_margin.SizeMargin = -1000;
  const Bytes stored = Compress(data, big_margin);
  CodecComponent component;
  std::vector<int> reports;
  component.OnShowProgress = [&](int& percent) {
    reports.push_back(percent);
    if (reports.size() == 2) percent = -1;
  };
  EXPECT_THROW(Expand(stored, 30000, -1, component), ETruncatedData);
  EXPECT_EQ(reports.size(), 2u);
  reports.clear();
  component.OnShowProgress = [&](int& percent) { reports.push_back(percent); };
  EXPECT_EQ(Expand(stored, 30000, -1, component).output, data);
  EXPECT_EQ(reports.back(), 100);
  EXPECT_EQ(reports.size(), (stored.size() + 8191) / 8192);
}

TEST(Lh5Expand, SourceStopsAtTheStoredSizeOrAtTheLastChunkNeeded) {
  const Bytes data = nolvo::test::TextCorpus(3000, 12);
  Bytes stored = Compress(data);
  const auto size = static_cast<std::int32_t>(stored.size());
  Bytes with_next(stored);
  with_next.insert(with_next.end(), {0xDE, 0xAD});  // the next entry's bytes
  Expanded e = Expand(with_next, 3000, size);
  EXPECT_EQ(e.output, data);
  EXPECT_EQ(e.source_position, size);

  // Surplus stored data: the decoder finishes inside the first chunk.
  Bytes surplus(stored);
  surplus.resize(20000, 0x55);
  e = Expand(surplus, 3000, 20000);
  EXPECT_EQ(e.output, data);
  EXPECT_EQ(e.source_position, 8192);
}

TEST(Lh5Expand, KeyedStreamsAreDescrambledOnlyWhenKeyedAndKeySet) {
  const Bytes data = nolvo::test::BinaryCorpus(20000, 13);
  CodecComponent keyed;
  keyed.Key = static_cast<std::int32_t>(0x9A3B5C7Du);
  const Bytes stored = Compress(data, keyed);
  EXPECT_EQ(Expand(stored, 20000, -1, keyed, true).output, data);
  // Without the key the scrambled stream is not this data.
  CodecComponent no_key;
  bool matched = true;
  try {
    matched = Expand(stored, 20000, -1, no_key, true).output == data;
  } catch (const ECompressError&) {
    matched = false;
  } catch (const ELZHBadDecodeTable&) {
    matched = false;
  }
  EXPECT_FALSE(matched);
  // Key 0 with the keyed flag: read as stored.
  const Bytes plain = Compress(data);
  EXPECT_EQ(Expand(plain, 20000, -1, no_key, true).output, data);
}

// The token-at-a-time path (taken when observing) and the fast path must agree on
// everything a caller can see: output, how far the source was read and the
// exception, for sound, damaged and cut streams alike. (How many bytes of the last
// chunk were looked at may differ; when expanding that is not reported.)
struct Outcome {
  Bytes output;
  std::int64_t source_position = 0;
  std::string error;
  bool operator==(const Outcome&) const = default;
  friend void PrintTo(const Outcome& o, std::ostream* os) {
    *os << o.output.size() << " bytes (sum " << Sum(o.output) << "), source at "
        << o.source_position << ", error '" << o.error << "'";
  }
};

Outcome ExpandWith(const Bytes& stored, std::int32_t original_size, bool observed,
                   const CodecComponent& component) {
  MemoryStream source(stored);
  MemoryStream dest;
  Outcome out;
  CodecContext context(component, dest, source, static_cast<std::int32_t>(stored.size()),
                       TCodecDirection::cdExpandKeyed);
  try {
    if (observed) {
      Lh5ExpandObserved(context, original_size, [](int, std::uint32_t) {});
    } else {
      Lh5Expand(context, original_size);
    }
  } catch (const ECompressError& e) {
    out.error = typeid(e).name();
  } catch (const ELZHBadDecodeTable& e) {
    out.error = typeid(e).name();
  }
  context.FlushDest();
  out.output = dest.Bytes();
  out.source_position = source.Position();
  return out;
}

// Bytes with steeply skewed frequencies (codes up to the longest length) and matches
// at spread-out distances (long distance codes).
Bytes SkewedData(std::size_t size) {
  std::mt19937 gen(99);
  Bytes out;
  while (out.size() < size) {
    if (out.size() > 300 && gen() % 4 == 0) {
      const std::size_t distance = 1 + gen() % std::min<std::size_t>(out.size() - 1, 8000);
      const std::size_t length = 3 + gen() % 60;
      for (std::size_t k = 0; k < length; ++k) out.push_back(out[out.size() - distance]);
      continue;
    }
    int symbol = 0;
    while (symbol < 40 && gen() % 2 == 0) ++symbol;
    out.push_back(static_cast<std::uint8_t>(symbol * 5));
  }
  out.resize(size);
  return out;
}

TEST(Lh5Expand, FastPathAgreesWithTheTokenPathOnSoundDamagedAndCutStreams) {
  CodecComponent keyed;
  keyed.Key = 0x5A17C3E1;
  const Bytes corpora[] = {nolvo::test::TextCorpus(60000, 21), SkewedData(60000),
                           nolvo::test::RepetitiveCorpus(60000, 22)};
  for (const CodecComponent& component : {CodecComponent{}, keyed}) {
    for (const Bytes& data : corpora) {
      const Bytes stored = Compress(data, component);
      const auto size = static_cast<std::int32_t>(data.size());
      const Outcome fast = ExpandWith(stored, size, false, component);
      EXPECT_EQ(fast.output, data);
      EXPECT_EQ(fast, ExpandWith(stored, size, true, component));
      std::mt19937 gen(7);
      for (int trial = 0; trial < 30; ++trial) {
        Bytes damaged = stored;
        if (trial % 3 == 0) {
          damaged.resize(gen() % stored.size());
        } else {
          damaged[gen() % damaged.size()] ^= static_cast<std::uint8_t>(1 + gen() % 255);
        }
        EXPECT_EQ(ExpandWith(damaged, size, false, component),
                  ExpandWith(damaged, size, true, component))
            << "trial " << trial;
      }
    }
  }
}

}  // namespace
}  // namespace nolvo::codec
