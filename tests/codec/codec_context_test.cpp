#include "archive/codec/codec_context.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "archive/codec/codec_run.h"
#include "platform/byte_stream.h"

namespace nolvo::codec {
namespace {

using platform::MemoryStream;

std::vector<std::uint8_t> Pattern(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
  return v;
}

// A source that records every read request and can hand out less than asked.
class ShortReadStream : public MemoryStream {
 public:
  ShortReadStream(std::vector<std::uint8_t> bytes, std::size_t max_read)
      : MemoryStream(std::move(bytes)), max_read_(max_read) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    requests.push_back(count);
    return MemoryStream::Read(buffer, std::min(count, max_read_));
  }
  std::vector<std::size_t> requests;

 private:
  std::size_t max_read_;
};

std::vector<std::uint8_t> DrainAll(CodecContext& ctx) {
  std::vector<std::uint8_t> got;
  for (;;) {
    const std::uint8_t b = ctx.ReadSourceByte();
    if (ctx.EndOfInput()) break;
    got.push_back(b);
  }
  return got;
}

TEST(ProgressPercent, SmallAndLargeTotals) {
  EXPECT_EQ(ProgressPercent(8192, 20000), 40);
  EXPECT_EQ(ProgressPercent(16384, 20000), 81);
  EXPECT_EQ(ProgressPercent(20000, 20000), 100);
  EXPECT_EQ(ProgressPercent(8192, 300000), 2);
  EXPECT_EQ(ProgressPercent(300000, 300000), 100);
  // Large totals must not overflow an intermediate product.
  EXPECT_EQ(ProgressPercent(2000000000, 2100000000), 95);
}

// The yield hook runs after each chunk read and before each full output buffer goes out;
// without one nothing is called.
TEST(CodecContext, YieldHookAfterChunksAndFlushes) {
  MemoryStream dest;
  MemoryStream source(Pattern(20000));
  int yields = 0;
  CodecComponent component;
  component.OnYield = [&] { ++yields; };
  CodecContext ctx(component, dest, source, 20000, true, false);
  const auto got = DrainAll(ctx);
  EXPECT_EQ(yields, 3);  // three chunks
  for (const std::uint8_t b : got) ctx.WriteDestByte(b);
  ctx.FlushDest();
  EXPECT_EQ(yields, 5);  // two full buffers went out; the last write is no yield point
  EXPECT_EQ(dest.Size(), 20000);
  component.OnYield = nullptr;
  MemoryStream source2(Pattern(20000));
  CodecContext quiet(component, dest, source2, 20000, true, false);
  DrainAll(quiet);
  EXPECT_EQ(yields, 5);
}

TEST(CodecContext, ReadsChunksAndReportsProgress) {
  MemoryStream dest;
  ShortReadStream source(Pattern(20000 + 50), 1 << 20);
  std::vector<int> reports;
  CodecComponent component;
  component.OnShowProgress = [&](int& p) { reports.push_back(p); };
  CodecContext ctx(component, dest, source, 20000, true, false);
  const auto got = DrainAll(ctx);
  EXPECT_EQ(got, std::vector<std::uint8_t>(source.Bytes().begin(), source.Bytes().begin() + 20000));
  EXPECT_EQ(reports, (std::vector<int>{40, 81, 100}));
  // The chunk size is lowered to what remains, and nothing past the size is asked for.
  EXPECT_EQ(source.requests, (std::vector<std::size_t>{8192, 8192, 3616}));
  EXPECT_EQ(source.Position(), 20000);
  EXPECT_EQ(ctx.InputChecksum(), std::accumulate(got.begin(), got.end(), std::uint32_t{0}));

  std::vector<int> large;
  MemoryStream source2(Pattern(300000));
  component.OnShowProgress = [&](int& p) { large.push_back(p); };
  CodecContext ctx2(component, dest, source2, 300000, true, false);
  DrainAll(ctx2);
  ASSERT_EQ(large.size(), 37u);
  EXPECT_EQ(large[0], 2);
  EXPECT_EQ(large[1], 5);
  EXPECT_EQ(large[2], 8);
  EXPECT_EQ(large.back(), 100);
}

TEST(CodecContext, ShortReadsKeepTheChunkSizeAndEndOnEmptyRead) {
  MemoryStream dest;
  // Only 1000 bytes exist although 20000 are promised; reads return at most 3000.
  ShortReadStream source(Pattern(1000), 3000);
  const CodecComponent component;  // the context keeps a reference to it
  CodecContext ctx(component, dest, source, 20000, true, false);
  EXPECT_EQ(DrainAll(ctx).size(), 1000u);
  EXPECT_TRUE(ctx.EndOfInput());
  // After the empty read the flag stays set and the context does not ask again
  // when the caller stops; one more call asks once more (a short read is accepted).
  EXPECT_EQ(source.requests, (std::vector<std::size_t>{8192, 8192}));
}

TEST(CodecContext, CancelEndsInputWhenCompressingAndRaisesWhenExpanding) {
  MemoryStream dest;
  CodecComponent component;
  int calls = 0;
  component.OnShowProgress = [&](int& p) {
    if (++calls == 2) p = -1;
  };
  MemoryStream source(Pattern(20000));
  CodecContext compressing(component, dest, source, 20000, false, false);
  EXPECT_EQ(DrainAll(compressing).size(), 8192u);
  EXPECT_TRUE(compressing.Cancelled());
  EXPECT_EQ(source.Position(), 16384);

  calls = 0;
  MemoryStream source2(Pattern(20000));
  CodecContext expanding(component, dest, source2, 20000, true, false);
  for (int i = 0; i < 8192; ++i) expanding.ReadSourceByte();
  EXPECT_THROW(expanding.ReadSourceByte(), ETruncatedData);
}

TEST(CodecContext, KeyScramblesOutputAndDescramblesInput) {
  CodecComponent component;
  component.Key = 0x11223344;
  const auto data = Pattern(10000);
  MemoryStream stored;
  {
    MemoryStream unused;
    CodecContext ctx(component, stored, unused, 20000, false, false);
    ctx.WriteDestBytes(data.data(), 5);
    for (std::size_t i = 5; i < data.size(); ++i) ctx.WriteDestByte(data[i]);
    ctx.FlushDest();
    EXPECT_EQ(ctx.BytesWritten(), 10000);
    EXPECT_EQ(ctx.OutputChecksum(),
              std::accumulate(stored.Bytes().begin(), stored.Bytes().end(), std::uint32_t{0}));
  }
  const std::uint8_t key[4] = {0x44, 0x33, 0x22, 0x11};
  ASSERT_EQ(stored.Bytes().size(), data.size());
  for (std::size_t i = 0; i < data.size(); ++i) ASSERT_EQ(stored.Bytes()[i], data[i] ^ key[i % 4]);

  // Keyed expanding undoes it; an unkeyed run leaves bytes as stored.
  stored.Seek(0, platform::SeekOrigin::soBeginning);
  MemoryStream dest;
  CodecContext keyed(component, dest, stored, 10000, true, true);
  std::uint8_t first[3];
  ASSERT_EQ(keyed.TakeBuffered(first, 3), 0u);  // nothing buffered before the first read
  first[0] = keyed.ReadSourceByte();
  ASSERT_EQ(keyed.TakeBuffered(first + 1, 2), 2u);
  auto rest = DrainAll(keyed);
  rest.insert(rest.begin(), first, first + 3);
  EXPECT_EQ(rest, data);

  stored.Seek(0, platform::SeekOrigin::soBeginning);
  CodecContext unkeyed(component, dest, stored, 10000, true, false);
  EXPECT_EQ(DrainAll(unkeyed), stored.Bytes());
}

TEST(CodecContext, BudgetStopsAtTheByteThatWouldPassIt) {
  CodecComponent component;
  component.SizeMargin = 10;
  MemoryStream dest;
  MemoryStream source;
  CodecContext ctx(component, dest, source, 9000, false, false);
  const auto data = Pattern(9000);
  ctx.WriteDestBytes(data.data(), 8000);
  for (int i = 0; i < 990; ++i) ctx.WriteDestByte(1);
  EXPECT_THROW(ctx.WriteDestByte(1), EUnableToCompress);
  EXPECT_THROW(ctx.WriteDestBytes(data.data(), 1), EUnableToCompress);
  EXPECT_EQ(ctx.BytesWritten(), 8990);
  // Only full chunks reached Dest; the rest is still buffered.
  EXPECT_EQ(dest.Bytes().size(), 8192u);

  MemoryStream dest2;
  CodecContext bulk(component, dest2, source, 100, false, false);
  EXPECT_THROW(bulk.WriteDestBytes(data.data(), 91), EUnableToCompress);
  EXPECT_EQ(bulk.BytesWritten(), 90);
  bulk.FlushDest();
  EXPECT_EQ(dest2.Bytes(), std::vector<std::uint8_t>(data.begin(), data.begin() + 90));
}

TEST(CodecContext, OutputGoesOutInFullChunks) {
  MemoryStream dest;
  MemoryStream source;
  const CodecComponent component;  // the context keeps a reference to it
  CodecContext ctx(component, dest, source, 0, true, false);
  const auto data = Pattern(8192 * 2 + 1);
  ctx.WriteDestBytes(data.data(), 8192);
  EXPECT_TRUE(dest.Bytes().empty());  // a full buffer waits for the next byte
  ctx.WriteDestBytes(data.data() + 8192, data.size() - 8192);
  EXPECT_EQ(dest.Bytes().size(), 16384u);
  ctx.FlushDest();
  EXPECT_EQ(dest.Bytes(), data);
  EXPECT_EQ(ctx.ReadSourceByte(), 0);
  EXPECT_TRUE(ctx.EndOfInput());
}

TEST(RunCodec, UnknownMethodsProduceNothing) {
  for (auto method : {TCompressionMethod::coNone, TCompressionMethod::coCustom,
                      static_cast<TCompressionMethod>(9)}) {
    MemoryStream dest;
    MemoryStream source(Pattern(100));
    std::int32_t checksum = 77;
    EXPECT_EQ(RunCodec(CodecComponent{}, dest, source, 100, 100, method, checksum,
                       TCodecDirection::cdExpand),
              0);
    EXPECT_EQ(checksum, 0);
    EXPECT_TRUE(dest.Bytes().empty());
    EXPECT_EQ(source.Position(), 0);
  }
}

}  // namespace
}  // namespace nolvo::codec
