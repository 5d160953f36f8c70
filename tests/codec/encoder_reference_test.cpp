// The LZ encoders against plain models of their rules (lh5_reference_encoder.h,
// lzhuf_reference_encoder.h): on varied inputs they must choose the same tokens and
// write the same bytes, and every stream must expand back to its input.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/codec/lh5.h"
#include "lh5_reference_encoder.h"
#include "lzhuf_reference_encoder.h"
#include "platform/byte_stream.h"
#include "tests/codec/memory_run.h"

namespace nolvo::codec {
namespace {

using testing::Bytes;
using testing::Corpus;

struct Input {
  std::string name;
  Bytes data;
};

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Repeat(const std::string& unit, std::size_t size) {
  Bytes out;
  while (out.size() < size)
    out.push_back(static_cast<std::uint8_t>(unit[out.size() % unit.size()]));
  return out;
}

Bytes Part(const Bytes& b, std::size_t from, std::size_t n) {
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
               b.begin() + static_cast<std::ptrdiff_t>(from + n));
}

std::vector<Input> VariedInputs() {
  std::vector<Input> in = {
      {"text", nolvo::test::TextCorpus(65536, 1)},
      {"binary", nolvo::test::BinaryCorpus(40000, 2)},
      {"random, past the first code rebuild and over two blocks",
       nolvo::test::RandomCorpus(40000, 3)},
      {"repetitive", nolvo::test::RepetitiveCorpus(65536, 4)},
      {"runs", testing::MakeCorpus(Corpus::kRuns, 30000, 5)},
      {"periodic", testing::MakeCorpus(Corpus::kPeriodic, 20000, 6)},
      {"one byte", Bytes(65536, 'x')},
      {"spaces like the initial window", Bytes(9000, ' ')},
      {"zeros", Bytes(9000, 0)},
      {"period 7", Repeat("0123456", 21000)},
      {"nearest among equals", Repeat("abcdXabcdYabcdZabcdXab", 5000)},
  };
  // Lengths around where the -lh5- text moves down and reads (7936 + 8192k, 8192k)
  // and around the LZHUF look-ahead and window.
  for (std::size_t n :
       {59u,   60u,   61u,   4035u, 4036u, 4037u, 4095u,  4096u,  4097u,  7935u,  7936u,
        7937u, 8191u, 8192u, 8193u, 8447u, 8448u, 16128u, 16129u, 16384u, 16385u, 24320u}) {
    in.push_back({"text of " + std::to_string(n), nolvo::test::TextCorpus(n, n)});
    in.push_back({"binary of " + std::to_string(n), nolvo::test::BinaryCorpus(n, n)});
  }
  // Inputs whose last matches run into the end: a repeat of earlier bytes, a period
  // cut at every phase, and a text ending in one of its earlier lines.
  const Bytes text = nolvo::test::TextCorpus(12000, 7);
  in.push_back({"ends in a repeat", Join({text, Part(text, 3000, 200)})});
  in.push_back({"ends in a repeat past 8192", Join({Part(text, 0, 9000), Part(text, 100, 150)})});
  for (std::size_t n = 9000; n < 9007; ++n) in.push_back({"period cut", Repeat("abc de\x01", n)});
  in.push_back({"ends in an earlier line", Join({Part(text, 0, 5000), Part(text, 1000, 80)})});
  Bytes runs(1000, 'x');
  runs.insert(runs.end(), 300, 'y');
  runs.insert(runs.end(), 2, 'x');
  in.push_back({"runs ending short", runs});
  return in;
}

// Short inputs of four kinds: few letters and spaces (many equally long matches),
// random bytes, runs, text.
Bytes ShortInput(int kind, std::size_t n) {
  if (kind == 3) return nolvo::test::TextCorpus(n, n);
  nolvo::test::Rng rng(n * 4 + static_cast<std::size_t>(kind));
  Bytes out;
  while (out.size() < n) {
    if (kind == 0) out.push_back(static_cast<std::uint8_t>("ab  "[rng.Below(4)]));
    if (kind == 1) out.push_back(static_cast<std::uint8_t>(rng.Below(256)));
    if (kind == 2)
      out.insert(out.end(), std::min<std::size_t>(1 + rng.Below(70), n - out.size()),
                 static_cast<std::uint8_t>(rng.Below(3)));
  }
  return out;
}

std::vector<test::Lh5Token> Lh5TokensOf(const Bytes& stored, std::size_t size) {
  platform::MemoryStream source(stored);
  platform::MemoryStream dest;
  CodecContext context(CodecComponent{}, dest, source, static_cast<std::int32_t>(stored.size()),
                       true, false);
  std::vector<test::Lh5Token> tokens;
  Lh5ExpandObserved(context, static_cast<std::int32_t>(size), [&](int symbol, std::uint32_t d) {
    if (symbol >= 0) tokens.push_back({symbol, d});
  });
  return tokens;
}

std::string Show(int symbol, std::uint32_t v) {
  return "{" + std::to_string(symbol) + "," + std::to_string(v) + "}";
}

// Where two token lists first differ, or "" when they are equal.
template <typename Token, typename Value>
std::string Difference(const std::vector<Token>& got, const std::vector<Token>& want, Value value) {
  for (std::size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
    if (i < got.size() && i < want.size() && got[i] == want[i]) continue;
    auto show = [&](const std::vector<Token>& t) {
      return i < t.size() ? Show(t[i].symbol, static_cast<std::uint32_t>(value(t[i]))) : "none";
    };
    return "token " + std::to_string(i) + " of " + std::to_string(want.size()) + " is " +
           show(got) + ", not " + show(want);
  }
  return "";
}

void ExpectLh5LikeReference(const Bytes& in, const std::string& name) {
  const Bytes stored = testing::Compress(TCompressionMethod::coLZH5, in);
  const auto want = test::Lh5ReferenceTokens(in);
  ASSERT_EQ(Difference(Lh5TokensOf(stored, in.size()), want,
                       [](const test::Lh5Token& t) { return t.distance; }),
            "")
      << "lh5, " << name << " (" << in.size() << " bytes)";
  ASSERT_EQ(stored, test::Lh5ReferenceWriter().Write(want)) << "lh5, " << name;
  ASSERT_EQ(
      testing::Expand(TCompressionMethod::coLZH5, stored, static_cast<std::int32_t>(in.size()))
          .bytes,
      in)
      << "lh5, " << name;
}

void ExpectLzhufLikeReference(const Bytes& in, const std::string& name) {
  const Bytes stored = testing::Compress(TCompressionMethod::coLZH, in);
  const test::LzhufReference want = test::LzhufReferenceEncode(in);
  ASSERT_EQ(Difference(test::LzhufTokensOf(stored, in.size()), want.tokens,
                       [](const test::LzhufToken& t) { return t.position; }),
            "")
      << "lzhuf, " << name << " (" << in.size() << " bytes)";
  ASSERT_EQ(stored, want.stream) << "lzhuf, " << name;
  ASSERT_EQ(testing::Expand(TCompressionMethod::coLZH, stored, static_cast<std::int32_t>(in.size()))
                .bytes,
            in)
      << "lzhuf, " << name;
}

TEST(EncoderReference, VariedInputsGiveTheReferenceTokensAndBytes) {
  for (const Input& in : VariedInputs()) {
    ExpectLh5LikeReference(in.data, in.name);
    ExpectLzhufLikeReference(in.data, in.name);
  }
}

TEST(EncoderReference, ShortInputsGiveTheReferenceTokensAndBytes) {
  for (int kind = 0; kind < 4; ++kind) {
    for (std::size_t n = 0; n <= 300; ++n) {
      const Bytes in = ShortInput(kind, n);
      ExpectLh5LikeReference(in, "short, kind " + std::to_string(kind));
      ExpectLzhufLikeReference(in, "short, kind " + std::to_string(kind));
    }
  }
}

TEST(EncoderReference, Lh5MatchesAreComparedPastTheEndThenClamped) {
  // The last 13 bytes repeat twice before: once followed by spaces, like the text past
  // the input's end, once (nearer) by "!!". The farther copy matches 15 bytes there,
  // so it is chosen, and the match is clamped to the 13 bytes left.
  const Bytes x = testing::ToBytes("marker-string");
  const Bytes spaced = Join({x, testing::ToBytes("  0123456789"), x, testing::ToBytes("!!"), x});
  // Past 8192 the text keeps the bytes 8192 positions before: a tail that repeats the
  // input's start matches its first copy on and on, though a nearer copy exists.
  Bytes start = nolvo::test::RandomCorpus(8192, 9);
  std::copy(start.begin(), start.begin() + 100, start.begin() + 5000);
  const Bytes stale = Join({start, Part(start, 0, 100)});
  struct Case {
    const char* name;
    Bytes data;
    test::Lh5Token last;
  };
  for (const Case& c : {Case{"spaces past the end",
                             spaced,
                             {13 + 253, static_cast<std::uint32_t>(spaced.size() - 14)}},
                        Case{"old bytes past the end", stale, {100 + 253, 8191}}}) {
    const Bytes stored = testing::Compress(TCompressionMethod::coLZH5, c.data);
    const auto tokens = Lh5TokensOf(stored, c.data.size());
    ASSERT_FALSE(tokens.empty());
    EXPECT_EQ(tokens.back(), c.last) << c.name;
  }
}

}  // namespace
}  // namespace nolvo::codec
