#include "archive/codec/rle.h"

#include <gtest/gtest.h>

#include "archive/codec/codec_errors.h"
#include "tests/codec/memory_run.h"

namespace nolvo::codec {
namespace {

using testing::Bytes;
using testing::Corpus;
constexpr auto kRle = TCompressionMethod::coRLE;

Bytes Repeat(std::uint8_t b, std::size_t n) { return Bytes(n, b); }

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Decode(const Bytes& stored, std::int32_t original_size) {
  return testing::Expand(kRle, stored, original_size).bytes;
}

TEST(RleExpand, EscapeRules) {
  struct Case {
    Bytes stored;
    Bytes expected;
  };
  const Case cases[] = {
      {{0x94, 0}, {0x94}},                                     // the escape byte itself
      {{'a', 0x94, 1}, {'a'}},                                 // count 1 adds nothing
      {{'a', 0x94, 2}, {'a', 'a'}},                            // count 2 adds one copy
      {{'a', 0x94, 255}, Repeat('a', 255)},                    // the longest run
      {{0x94, 4}, {0, 0, 0}},                                  // the first run repeats byte 0
      {{'a', 0x94, 3, 0x94, 3}, {'a', 'a', 'a', 0x94, 0x94}},  // then 0x94 is repeated
      {{'a', 0x94, 0, 0x94, 2}, {'a', 0x94, 0x94}},            // also after an escaped 0x94
      {{'x', 'y', 0x94, 4, 'z'}, {'x', 'y', 'y', 'y', 'y', 'z'}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    const auto out = testing::Expand(kRle, c.stored, static_cast<std::int32_t>(c.expected.size()));
    EXPECT_EQ(out.bytes, c.expected);
    EXPECT_EQ(static_cast<std::uint32_t>(out.checksum), testing::ByteSum(c.expected));
    EXPECT_EQ(out.source_position, static_cast<std::int64_t>(c.stored.size()));
  }
}

TEST(RleExpand, EscapeWhoseCountLiesInTheNextChunk) {
  // 0x94 is the last byte of the first 8192-byte chunk; its count opens the second.
  Bytes stored = Concat({Repeat('q', 8190), {'r', 0x94, 6, 's'}});
  const Bytes expected = Concat({Repeat('q', 8190), Repeat('r', 6), {'s'}});
  for (std::size_t max_read : {std::size_t{1} << 20, std::size_t{1}, std::size_t{8191}}) {
    const auto out = testing::Expand(kRle, stored, static_cast<std::int32_t>(expected.size()), {},
                                     false, max_read);
    EXPECT_EQ(out.bytes, expected) << "reads of at most " << max_read;
  }
}

TEST(RleExpand, EscapeAsTheLastStoredByteHasTheCountZero) {
  // No end check after the escape: at the end of the stored data its count reads as 0,
  // so the escape stands for itself, wherever the stored size cuts the stream.
  struct Case {
    Bytes stored;
    std::int32_t stored_size;
    Bytes expected;
  };
  const Case cases[] = {
      {{0x41, 0x94}, 2, {0x41, 0x94}},
      {{0x94}, 1, {0x94}},
      {{'a', 0x94, 3, 0x94}, 4, {'a', 'a', 'a', 0x94}},
      {{'a', 0x94, 5}, 2, {'a', 0x94}},  // the count is cut off
      {Concat({Repeat('q', 8191), {0x94}}), 8192, Concat({Repeat('q', 8191), {0x94}})},
  };
  for (const Case& c : cases) {
    const auto size = static_cast<std::int32_t>(c.expected.size());
    const auto out = testing::Run(kRle, true, c.stored, c.stored_size, size, {});
    EXPECT_EQ(out.bytes, c.expected);
    EXPECT_EQ(static_cast<std::uint32_t>(out.checksum), testing::ByteSum(c.expected));
    EXPECT_EQ(out.source_position, c.stored_size);
  }
}

TEST(RleExpand, OutputIsBoundedByTheOriginalSize) {
  // A few stored bytes that would expand to 2.5 MB.
  Bytes stored{'a'};
  for (int i = 0; i < 10000; ++i) stored.insert(stored.end(), {'a', 0x94, 255});
  EXPECT_THROW(Decode(stored, 1000), EExpandOverrun);
  EXPECT_THROW(Decode({'a', 'b'}, 1), EExpandOverrun);
  EXPECT_THROW(Decode({0x94, 0}, 0), EExpandOverrun);
  EXPECT_THROW(Decode({'a'}, -5), EExpandOverrun);
  // Exactly the original size is fine.
  EXPECT_EQ(Decode({'a', 0x94, 255}, 255), Repeat('a', 255));
}

TEST(RleExpand, StoredDataThatEndsEarlyIsReported) {
  // Too few bytes for the original size.
  EXPECT_THROW(Decode({'a', 'b'}, 3), ETruncatedData);
  EXPECT_THROW(Decode({}, 1), ETruncatedData);
  // A stored size shorter than the stream cuts it.
  const Bytes stored{'a', 'b', 'c', 'd'};
  EXPECT_THROW(testing::Run(kRle, true, stored, 3, 4), ETruncatedData);
}

TEST(RleExpand, CancelFromTheProgressHandlerEndsTheEntry) {
  const Bytes input = testing::MakeCorpus(Corpus::kText, 30000);
  const Bytes stored = testing::Compress(kRle, input);
  CodecComponent component;
  int calls = 0;
  component.OnShowProgress = [&](int& percent) {
    if (++calls == 2) percent = -1;
  };
  EXPECT_THROW(testing::Expand(kRle, stored, static_cast<std::int32_t>(input.size()), component),
               ETruncatedData);
  EXPECT_EQ(calls, 2);
}

TEST(RleCompress, RunRules) {
  struct Case {
    Bytes input;
    Bytes stored;
  };
  const Case cases[] = {
      {{}, {}},
      {{'a'}, {'a'}},
      {{'a', 'a'}, {'a', 'a'}},  // two equal bytes stay as they are
      {{'a', 'a', 'a'}, {'a', 0x94, 3}},
      {Repeat('a', 255), {'a', 0x94, 255}},
      {Repeat('a', 256), {'a', 0x94, 255, 'a'}},  // the run restarts with a literal
      {Repeat('a', 257), {'a', 0x94, 255, 'a', 'a'}},
      {Repeat('a', 258), {'a', 0x94, 255, 'a', 0x94, 3}},
      {Repeat('a', 511), {'a', 0x94, 255, 'a', 0x94, 255, 'a'}},
      {{0x94, 0x94}, {0x94, 0, 0x94, 0}},  // the escape byte is never run-coded
      {{0x94, 0x94, 0x94}, {0x94, 0, 0x94, 0, 0x94, 0}},
      {{0, 0, 0}, {0, 0x94, 3}},  // a leading 0 is a literal
      {{0}, {0}},
      {{'a', 'a', 'a', 0x94, 'b'}, {'a', 0x94, 3, 0x94, 0, 'b'}},
      {{'a', 'a', 'b', 'b', 'b'}, {'a', 'a', 'b', 0x94, 3}},
  };
  for (const Case& c : cases) {
    const auto out =
        testing::Run(kRle, false, c.input, static_cast<std::int32_t>(c.input.size()), 0);
    EXPECT_EQ(out.bytes, c.stored);
    EXPECT_EQ(out.result, static_cast<std::int32_t>(c.stored.size()));
    EXPECT_EQ(static_cast<std::uint32_t>(out.checksum), testing::ByteSum(c.input));
    // Every encoded case reads back.
    EXPECT_EQ(Decode(c.stored, static_cast<std::int32_t>(c.input.size())), c.input);
  }
}

TEST(RleCompress, StopsAtTheBudget) {
  const Bytes input = testing::MakeCorpus(Corpus::kText, 20000);
  CodecComponent component;
  component.SizeMargin = 1;  // text has almost no runs, so it cannot shrink
  EXPECT_THROW(testing::Compress(kRle, input, component), EUnableToCompress);
  // Long runs shrink well below the margin.
  component.SizeMargin = 1000;
  const Bytes runs = Repeat('z', 20000);
  EXPECT_EQ(testing::Compress(kRle, runs, component).size(), 79u * 3);
}

TEST(RleRoundTrip, Corpora) {
  for (Corpus kind :
       {Corpus::kText, Corpus::kBinary, Corpus::kRandom, Corpus::kRuns, Corpus::kPeriodic}) {
    for (std::size_t size : {std::size_t{1}, std::size_t{300}, std::size_t{70000}}) {
      const Bytes input = testing::MakeCorpus(kind, size, static_cast<std::uint32_t>(size));
      const auto stored =
          testing::Run(kRle, false, input, static_cast<std::int32_t>(input.size()), 0);
      const auto out = testing::Expand(kRle, stored.bytes, static_cast<std::int32_t>(input.size()));
      ASSERT_EQ(out.bytes, input) << "corpus " << static_cast<int>(kind) << " size " << size;
      EXPECT_EQ(out.checksum, stored.checksum);
    }
  }
}

TEST(RleRoundTrip, KeyedStreamsDifferOnlyByTheKey) {
  const Bytes input = testing::MakeCorpus(Corpus::kRuns, 20000, 7);
  CodecComponent keyed;
  keyed.Key = 0x1A2B3C4D;
  const auto plain = testing::Run(kRle, false, input, static_cast<std::int32_t>(input.size()), 0);
  const auto scrambled =
      testing::Run(kRle, false, input, static_cast<std::int32_t>(input.size()), 0, keyed);
  ASSERT_EQ(plain.bytes.size(), scrambled.bytes.size());
  EXPECT_EQ(plain.checksum, scrambled.checksum);
  const std::uint8_t key[4] = {0x4D, 0x3C, 0x2B, 0x1A};
  for (std::size_t i = 0; i < plain.bytes.size(); ++i) {
    ASSERT_EQ(scrambled.bytes[i], plain.bytes[i] ^ key[i % 4]) << "at " << i;
  }
  const auto out =
      testing::Expand(kRle, scrambled.bytes, static_cast<std::int32_t>(input.size()), keyed, true);
  EXPECT_EQ(out.bytes, input);
}

}  // namespace
}  // namespace nolvo::codec
