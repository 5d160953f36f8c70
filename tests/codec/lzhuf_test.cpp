#include "archive/codec/lzhuf.h"

#include <gtest/gtest.h>

#include <random>

#include "archive/codec/codec_errors.h"
#include "archive/codec/lzhuf_position_code.h"
#include "archive/codec/lzhuf_tree.h"
#include "tests/codec/memory_run.h"

namespace nolvo::codec {
namespace {

using testing::Bytes;
using testing::Corpus;
constexpr auto kLzh = TCompressionMethod::coLZH;

// Writes a chosen token sequence as an LZHUF stream, and computes what it decodes to
// with a plain byte-by-byte window.
class TokenStream {
 public:
  TokenStream() { window_.assign(4096, 0x20); }

  void Literal(std::uint8_t b) {
    Symbol(b);
    Emit(b);
  }

  void Match(int length, int position) {
    Symbol(length + 253);
    const int u = position >> 6;
    const int len = LzhufPositionCodeLength(u);
    Bits(kLzhufPositionTables.code[u] >> (8 - len), len);
    Bits(static_cast<std::uint32_t>(position & 63), 6);
    const int src = r_ - position - 1;
    for (int k = 0; k < length; ++k) Emit(window_[(src + k) & 4095]);
  }

  Bytes Stored() const {
    Bytes out;
    for (std::size_t i = 0; i < bits_.size(); i += 8) {
      std::uint8_t b = 0;
      for (std::size_t k = 0; k < 8; ++k) b |= (i + k < bits_.size() ? bits_[i + k] : 0) << (7 - k);
      out.push_back(b);
    }
    return out;
  }
  const Bytes& Decoded() const { return decoded_; }
  std::size_t BitCount() const { return bits_.size(); }

 private:
  void Symbol(int symbol) {
    std::vector<std::uint8_t> path;
    for (int n = tree_.leaf(symbol); n != LzhufTree::kRoot; n = tree_.parent(n))
      path.push_back(n & 1);
    bits_.insert(bits_.end(), path.rbegin(), path.rend());
    tree_.Update(symbol);
  }
  void Bits(std::uint32_t v, int n) {
    for (int k = n - 1; k >= 0; --k) bits_.push_back((v >> k) & 1);
  }
  void Emit(std::uint8_t b) {
    decoded_.push_back(b);
    window_[r_] = b;
    r_ = (r_ + 1) & 4095;
  }

  LzhufTree tree_;
  std::vector<std::uint8_t> bits_;
  Bytes window_;
  Bytes decoded_;
  int r_ = 4036;
};

testing::RunOutput Decode(const Bytes& stored, std::size_t original_size,
                          std::size_t max_read = 1 << 20) {
  return testing::Expand(kLzh, stored, static_cast<std::int32_t>(original_size), {}, false,
                         max_read);
}

TEST(LzhufStreams, HandWorkedExamples) {
  // One literal 'A': its 9-bit initial code 111001101, padded.
  EXPECT_EQ(testing::Compress(kLzh, {'A'}), (Bytes{0xE6, 0x80}));
  EXPECT_EQ(Decode({0xE6, 0x80}, 1).bytes, (Bytes{'A'}));
  // Ten spaces match the initial window at once: symbol 263 (10010011), then
  // position 59 (code 000 and 111011). The 60 positions before the first byte hold
  // equal strings, each inserted one replacing the one before, so the last of them,
  // 60 bytes back, is the one still held.
  EXPECT_EQ(testing::Compress(kLzh, Bytes(10, 0x20)), (Bytes{0x93, 0x1D, 0x80}));
  EXPECT_EQ(Decode({0x93, 0x1D, 0x80}, 10).bytes, Bytes(10, 0x20));
  // Empty input writes nothing, and OriginalSize 0 reads nothing.
  EXPECT_TRUE(testing::Compress(kLzh, {}).empty());
  const auto none = Decode({0xE6, 0x80}, 0);
  EXPECT_TRUE(none.bytes.empty());
  EXPECT_EQ(none.checksum, 0);
  EXPECT_EQ(none.source_position, 0);
}

TEST(LzhufStreams, MatchRules) {
  {
    SCOPED_TRACE("a match before any output reads spaces");
    TokenStream t;
    t.Literal('A');
    t.Match(5, 100);
    EXPECT_EQ(t.Decoded(), testing::ToBytes("A     "));
    EXPECT_EQ(Decode(t.Stored(), 6).bytes, t.Decoded());
  }
  {
    SCOPED_TRACE("position 0 repeats the previous byte, position 1 the last two");
    TokenStream t;
    t.Literal('A');
    t.Literal('B');
    t.Match(4, 0);
    t.Literal('C');
    t.Match(5, 1);
    EXPECT_EQ(t.Decoded(), testing::ToBytes("ABBBBBCBCBCB"));
    EXPECT_EQ(Decode(t.Stored(), 12).bytes, t.Decoded());
  }
  {
    SCOPED_TRACE("position 4095 reads the byte written 4096 positions earlier");
    TokenStream t;
    for (int i = 0; i < 4100; ++i) t.Literal(static_cast<std::uint8_t>(i * 13 + i / 256));
    t.Match(3, 4095);
    const Bytes& d = t.Decoded();
    ASSERT_EQ(d.size(), 4103u);
    EXPECT_EQ(d[4100], d[4]);
    EXPECT_EQ(d[4102], d[6]);
    EXPECT_EQ(Decode(t.Stored(), d.size()).bytes, d);
  }
  {
    SCOPED_TRACE("a match running past the original size is written whole");
    TokenStream t;
    t.Literal('x');
    t.Match(60, 0);
    const auto out = Decode(t.Stored(), 2);
    EXPECT_EQ(out.bytes, Bytes(61, 'x'));
    EXPECT_EQ(static_cast<std::uint32_t>(out.checksum), 61u * 'x');
  }
}

TEST(LzhufStreams, RandomTokenSequencesDecodeLikeAPlainWindow) {
  std::mt19937 rng(17);
  TokenStream t;
  // Enough symbols to pass several rebuilds of the code tree.
  for (int i = 0; i < 80000; ++i) {
    if (rng() % 3 == 0) {
      t.Match(3 + static_cast<int>(rng() % 58), static_cast<int>(rng() % 4096));
    } else {
      t.Literal(static_cast<std::uint8_t>(rng() % 40 == 0 ? rng() : 'a' + rng() % 6));
    }
  }
  const Bytes stored = t.Stored();
  for (std::size_t max_read : {std::size_t{1} << 20, std::size_t{3}}) {
    const auto out = Decode(stored, t.Decoded().size(), max_read);
    ASSERT_EQ(out.bytes, t.Decoded()) << "reads of at most " << max_read;
    EXPECT_EQ(static_cast<std::uint32_t>(out.checksum), testing::ByteSum(t.Decoded()));
    EXPECT_EQ(out.source_position, static_cast<std::int64_t>(stored.size()));
  }
}

// A byte-at-a-time reader over a stored stream: before each read of 1..8 bits it
// takes one more byte when 8 or fewer bits are left. Records, after each symbol, how
// many bytes it has taken and how many bytes are decoded.
std::vector<std::pair<std::size_t, std::size_t>> BytewiseProgress(const Bytes& stored) {
  LzhufTree tree;
  unsigned window = 0;
  int count = 0;
  std::size_t taken = 0;
  std::size_t produced = 0;
  const auto read = [&](int n) {
    if (count <= 8) {
      const unsigned b = taken < stored.size() ? stored[taken] : 0;
      if (taken < stored.size()) ++taken;
      window |= b << (8 - count);
      count += 8;
    }
    const unsigned v = (window & 0xFFFF) >> (16 - n);
    window <<= n;
    count -= n;
    return v;
  };
  std::vector<std::pair<std::size_t, std::size_t>> steps;
  while (taken < stored.size()) {
    int c = tree.son(LzhufTree::kRoot);
    while (c < LzhufTree::kNodes) c = tree.son(c + static_cast<int>(read(1)));
    c -= LzhufTree::kNodes;
    tree.Update(c);
    if (c < 256) {
      produced += 1;
    } else {
      const unsigned v = read(8);
      read(kLzhufPositionTables.length[v] - 2);
      produced += static_cast<std::size_t>(c - 253);
    }
    steps.emplace_back(produced, taken);
  }
  return steps;
}

TEST(LzhufStreams, ReadsTheSourceChunksAByteReaderWouldRead) {
  std::mt19937 rng(31);
  TokenStream t;
  for (int i = 0; i < 30000; ++i) {
    if (rng() % 4 == 0) {
      t.Match(3 + static_cast<int>(rng() % 58), static_cast<int>(rng() % 4096));
    } else {
      t.Literal(static_cast<std::uint8_t>(rng()));
    }
  }
  const Bytes stored = t.Stored();
  ASSERT_GT(stored.size(), 2u * 8192);
  // Stop the decoder (through the original size) just before, at and after the
  // symbols that make the byte reader start a second and a third chunk: the source
  // must then stand at the end of the chunks that reader would have needed.
  int checked = 0;
  for (const auto& [produced, taken] : BytewiseProgress(stored)) {
    const std::size_t rest = taken % 8192;
    if (taken < 8190 || taken > 16400 || (rest > 2 && rest < 8190)) continue;
    const auto out = Decode(stored, produced);
    const std::size_t chunks = (taken + 8191) / 8192;
    EXPECT_EQ(out.source_position, static_cast<std::int64_t>(chunks * 8192))
        << "after " << produced << " bytes";
    EXPECT_EQ(
        Bytes(out.bytes.begin(), out.bytes.begin() + static_cast<std::ptrdiff_t>(produced)),
        Bytes(t.Decoded().begin(), t.Decoded().begin() + static_cast<std::ptrdiff_t>(produced)));
    ++checked;
  }
  EXPECT_GT(checked, 4);
}

TEST(LzhufStreams, CodesPastTheFirstRebuild) {
  // 40000 bytes without repeats of 3 or more are coded almost wholly as literals,
  // more than the 32454 symbols after which the tree is rebuilt.
  Bytes input;
  std::mt19937 rng(4);
  while (input.size() < 40000) input.push_back(static_cast<std::uint8_t>(rng()));
  const Bytes stored = testing::Compress(kLzh, input);
  EXPECT_GT(stored.size(), 39000u);
  const auto out = Decode(stored, input.size());
  EXPECT_EQ(out.bytes, input);
}

TEST(LzhufStreams, RepeatedByteGivesOneLiteralThenLongMatches) {
  const Bytes input(6000, 'q');
  const Bytes stored = testing::Compress(kLzh, input);
  // One literal and 100 matches of 60 bytes: well under 3 bytes per match.
  EXPECT_LT(stored.size(), 250u);
  EXPECT_EQ(Decode(stored, input.size()).bytes, input);
}

TEST(LzhufRoundTrip, Corpora) {
  for (Corpus kind :
       {Corpus::kText, Corpus::kBinary, Corpus::kRandom, Corpus::kRuns, Corpus::kPeriodic}) {
    for (std::size_t size : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{61},
                             std::size_t{5000}, std::size_t{40000}}) {
      const Bytes input = testing::MakeCorpus(kind, size, static_cast<std::uint32_t>(size) + 3);
      const auto stored =
          testing::Run(kLzh, false, input, static_cast<std::int32_t>(input.size()), 0);
      EXPECT_EQ(static_cast<std::uint32_t>(stored.checksum), testing::ByteSum(input));
      EXPECT_EQ(stored.result, static_cast<std::int32_t>(stored.bytes.size()));
      const auto out = Decode(stored.bytes, input.size());
      ASSERT_EQ(out.bytes, input) << "corpus " << static_cast<int>(kind) << " size " << size;
      EXPECT_EQ(out.checksum, stored.checksum);
    }
  }
  const Bytes text = testing::MakeCorpus(Corpus::kText, 150000);
  EXPECT_LT(testing::Compress(kLzh, text).size(), text.size() / 2);
}

TEST(LzhufRoundTrip, KeyedStreamsDifferOnlyByTheKey) {
  const Bytes input = testing::MakeCorpus(Corpus::kText, 30000, 8);
  CodecComponent keyed;
  keyed.Key = -2;  // bytes FE FF FF FF
  const auto plain = testing::Run(kLzh, false, input, static_cast<std::int32_t>(input.size()), 0);
  const auto scrambled =
      testing::Run(kLzh, false, input, static_cast<std::int32_t>(input.size()), 0, keyed);
  ASSERT_EQ(plain.bytes.size(), scrambled.bytes.size());
  EXPECT_EQ(plain.checksum, scrambled.checksum);
  for (std::size_t i = 0; i < plain.bytes.size(); ++i) {
    ASSERT_EQ(scrambled.bytes[i], plain.bytes[i] ^ (i % 4 == 0 ? 0xFE : 0xFF)) << "at " << i;
  }
  EXPECT_EQ(
      testing::Expand(kLzh, scrambled.bytes, static_cast<std::int32_t>(input.size()), keyed, true)
          .bytes,
      input);
  // An entry not marked as keyed is read as stored, whatever the key.
  EXPECT_EQ(
      testing::Expand(kLzh, plain.bytes, static_cast<std::int32_t>(input.size()), keyed, false)
          .bytes,
      input);
}

TEST(LzhufRoundTrip, BudgetStopsIncompressibleInput) {
  const Bytes input = testing::MakeCorpus(Corpus::kRandom, 10000);
  EXPECT_THROW(testing::Compress(kLzh, input, CodecComponent{}), EUnableToCompress);
  CodecComponent margin;
  margin.SizeMargin = 10000 - 200;
  EXPECT_THROW(testing::Compress(kLzh, testing::MakeCorpus(Corpus::kText, 10000), margin),
               EUnableToCompress);
}

TEST(LzhufDamage, TruncatedStreamsAreReported) {
  const Bytes input = testing::MakeCorpus(Corpus::kText, 20000, 5);
  const Bytes stored = testing::Compress(kLzh, input);
  // The last stored byte always carries at least one needed bit.
  for (std::size_t cut : {std::size_t{1}, std::size_t{2}, stored.size() / 2, stored.size() - 1}) {
    const Bytes part(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_THROW(Decode(part, input.size()), ETruncatedData) << "cut at " << cut;
    EXPECT_THROW(Decode(part, input.size(), 5), ETruncatedData) << "cut at " << cut;
  }
  // A stored size below the stream's length cuts it the same way.
  EXPECT_THROW(testing::Run(kLzh, true, stored, static_cast<std::int32_t>(stored.size() - 1),
                            static_cast<std::int32_t>(input.size())),
               ETruncatedData);
  // Three bytes claiming 2 GB end at once instead of filling the disk with zeros.
  EXPECT_THROW(Decode({0x12, 0x34, 0x56}, 2000000000), ETruncatedData);
  EXPECT_THROW(Decode({}, 1), ETruncatedData);
}

TEST(LzhufDamage, ArbitraryBytesNeverOverrun) {
  std::mt19937 rng(23);
  int truncated = 0;
  for (int round = 0; round < 300; ++round) {
    Bytes stored(rng() % 600);
    for (auto& b : stored) b = static_cast<std::uint8_t>(rng());
    const std::size_t original = rng() % 3000;
    try {
      const auto out = Decode(stored, original);
      EXPECT_GE(out.bytes.size(), original);
      EXPECT_LE(out.bytes.size(), original + 59);
      EXPECT_EQ(static_cast<std::uint32_t>(out.checksum), testing::ByteSum(out.bytes));
    } catch (const ETruncatedData&) {
      ++truncated;
    }
  }
  EXPECT_GT(truncated, 0);
}

TEST(LzhufDamage, SurplusStoredBytesAreLeftUnread) {
  const Bytes input = testing::MakeCorpus(Corpus::kText, 3000, 6);
  Bytes stored = testing::Compress(kLzh, input);
  const std::size_t used = stored.size();
  stored.resize(used + 20000, 0xAB);
  const auto out = Decode(stored, input.size());
  EXPECT_EQ(out.bytes, input);
  // Only the first chunk was read.
  EXPECT_EQ(out.source_position, 8192);
}

TEST(LzhufDamage, CancelFromTheProgressHandlerEndsTheEntry) {
  const Bytes input = testing::MakeCorpus(Corpus::kRandom, 30000, 2);
  CodecComponent margin;
  margin.SizeMargin = -10000;  // allow the stored form to grow
  const Bytes stored = testing::Compress(kLzh, input, margin);
  CodecComponent cancel;
  int calls = 0;
  cancel.OnShowProgress = [&](int& percent) {
    if (++calls == 3) percent = -1;
  };
  EXPECT_THROW(testing::Expand(kLzh, stored, static_cast<std::int32_t>(input.size()), cancel),
               ETruncatedData);
  EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace nolvo::codec
