// The -lh5- encoder on several threads writes the single-threaded encoder's stream byte
// for byte, for any thread count and segment size, also where segments meet inside long
// matches and near the input's end.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/codec/codec_context.h"
#include "archive/codec/codec_errors.h"
#include "archive/codec/lh5.h"
#include "memory_run.h"

namespace nolvo::codec {
namespace {

using testing::Bytes;
using testing::Corpus;

struct Encoded {
  Bytes stored;
  std::uint32_t checksum = 0;
  std::string error;  // what the run raised, if anything
  std::vector<int> progress;
};

// threads 0: the single-threaded encoder.
Encoded Encode(const Bytes& input, int threads, std::int64_t segment, CodecComponent component,
               std::size_t max_read = 1 << 20) {
  testing::TrickleStream source(input, max_read);
  platform::MemoryStream dest;
  Encoded e;
  auto forward = component.OnShowProgress;
  component.OnShowProgress = [&](int& percent) {
    if (forward) forward(percent);
    e.progress.push_back(percent);
  };
  CodecContext context(component, dest, source, static_cast<std::int32_t>(input.size()), false,
                       false);
  try {
    if (threads == 0) {
      Lh5Compress(context);
    } else {
      Lh5CompressParallel(context, threads, segment);
    }
    context.FlushDest();
  } catch (const std::exception& ex) {
    e.error = ex.what();
  }
  e.stored = dest.Bytes();
  e.checksum = context.InputChecksum();
  return e;
}

void ExpectSame(const Encoded& want, const Encoded& got, const std::string& label) {
  EXPECT_EQ(got.error, want.error) << label;
  EXPECT_EQ(got.checksum, want.checksum) << label;
  EXPECT_EQ(got.progress, want.progress) << label;
  ASSERT_EQ(got.stored.size(), want.stored.size()) << label;
  EXPECT_TRUE(got.stored == want.stored) << label;
}

// Long runs and repeats, where parses that start at different positions take long to
// meet (or never do within a segment).
Bytes Runs(std::size_t size) {
  Bytes out;
  test::Rng rng(7);
  while (out.size() < size) {
    const std::size_t n = std::min<std::size_t>(size - out.size(), 1 + rng.Below(40000));
    const auto b = static_cast<std::uint8_t>(rng.Below(3));
    if (rng.Below(2) == 0) {
      out.insert(out.end(), n, b);
    } else {
      for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>("abcab"[i % 5]));
    }
  }
  return out;
}

TEST(Lh5Parallel, SameStreamOnEveryCorpusThreadCountAndSegmentSize) {
  struct Input {
    const char* name;
    Bytes data;
  };
  const std::vector<Input> inputs = {
      {"text", testing::MakeCorpus(Corpus::kText, 200000)},
      {"binary", testing::MakeCorpus(Corpus::kBinary, 200000)},
      {"random", testing::MakeCorpus(Corpus::kRandom, 70000)},
      {"runs", testing::MakeCorpus(Corpus::kRuns, 150000)},
      {"periodic", testing::MakeCorpus(Corpus::kPeriodic, 120000)},
      {"long runs", Runs(250000)},
      {"zeros", Bytes(100000, 0)},
      {"spaces", Bytes(50000, ' ')},
  };
  for (const Input& in : inputs) {
    const Encoded want = Encode(in.data, 0, 0, testing::Growable());
    for (const std::int64_t segment : {1024, 5000, 65536}) {
      for (const int threads : {1, 2, 4}) {
        ExpectSame(want, Encode(in.data, threads, segment, testing::Growable()),
                   std::string(in.name) + " segment " + std::to_string(segment) + " threads " +
                       std::to_string(threads));
      }
    }
  }
}

TEST(Lh5Parallel, SameStreamForSizesAroundTheSegmentEdges) {
  // A segment reads its size, 1024 bytes of overlap (at this size) and 1024 of
  // look-ahead; the input ending just before, at or after those points, and before or
  // after the first 8192 bytes, changes which segment is the last and what lies past
  // the input's end.
  constexpr std::size_t kSegment = 1024;
  const Bytes text = testing::MakeCorpus(Corpus::kText, 20000, 3);
  const Bytes runs = testing::MakeCorpus(Corpus::kRuns, 20000, 4);
  const std::size_t bases[] = {3,
                               kSegment,
                               2 * kSegment,
                               3 * kSegment,
                               4 * kSegment,
                               5 * kSegment,
                               8192,
                               8192 + 3 * kSegment,
                               16384};
  for (const std::size_t base : bases) {
    for (std::size_t size = base - 3; size <= base + 3; ++size) {
      for (const Bytes* data : {&text, &runs}) {
        const Bytes in(data->begin(), data->begin() + static_cast<std::ptrdiff_t>(size));
        const Encoded want = Encode(in, 0, 0, testing::Growable());
        for (const int threads : {1, 2}) {
          ExpectSame(want, Encode(in, threads, kSegment, testing::Growable()),
                     "size " + std::to_string(size) + " threads " + std::to_string(threads));
        }
      }
    }
  }
}

TEST(Lh5Parallel, SameKeyedBytesBudgetFailureProgressAndCancel) {
  const Bytes text = testing::MakeCorpus(Corpus::kText, 100000, 5);
  const Bytes random = testing::MakeCorpus(Corpus::kRandom, 100000, 6);
  CodecComponent keyed = testing::Growable();
  keyed.Key = 0x5A17C3E1;
  CodecComponent tight;  // random bytes do not fit the budget
  tight.SizeMargin = 1;
  CodecComponent cancel = testing::Growable();
  cancel.OnShowProgress = [](int& percent) {
    if (percent > 30) percent = -1;
  };
  struct Case {
    const char* name;
    const Bytes* data;
    CodecComponent component;
    std::size_t max_read;
  };
  const Case cases[] = {{"keyed", &text, keyed, 1 << 20},
                        {"over budget", &random, tight, 1 << 20},
                        {"cancelled", &text, cancel, 1 << 20},
                        {"trickling source", &text, testing::Growable(), 777}};
  for (const Case& c : cases) {
    const Encoded want = Encode(*c.data, 0, 0, c.component, c.max_read);
    if (std::string(c.name) == "over budget") {
      EXPECT_EQ(want.error, EUnableToCompress().what());
    }
    for (const int threads : {1, 2, 3}) {
      ExpectSame(want, Encode(*c.data, threads, 4096, c.component, c.max_read),
                 std::string(c.name) + " threads " + std::to_string(threads));
    }
  }
}

TEST(Lh5Parallel, RunCodecUsesTheThreadsOfTheComponent) {
  const Bytes text = testing::MakeCorpus(Corpus::kText, 3 * kLh5SegmentSize, 8);
  CodecComponent single = testing::Growable();
  CodecComponent parallel = testing::Growable();
  parallel.Threads = 2;
  const auto one = testing::Compress(TCompressionMethod::coLZH5, text, single);
  const auto two = testing::Compress(TCompressionMethod::coLZH5, text, parallel);
  EXPECT_TRUE(one == two);
  EXPECT_EQ(testing::Expand(TCompressionMethod::coLZH5, two, static_cast<std::int32_t>(text.size()))
                .bytes.size(),
            text.size());
}

}  // namespace
}  // namespace nolvo::codec
