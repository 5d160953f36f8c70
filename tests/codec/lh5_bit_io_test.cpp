#include <gtest/gtest.h>

#include <vector>

#include "archive/codec/codec_context.h"
#include "archive/codec/lh5_bit_reader.h"
#include "archive/codec/lh5_bit_writer.h"
#include "lh5_stream_builder.h"
#include "platform/byte_stream.h"
#include "tests/support/corpus.h"

namespace nolvo::codec {
namespace {

using platform::MemoryStream;

struct Field {
  int width;
  std::uint32_t value;
};

std::vector<Field> RandomFields(std::size_t n, std::uint64_t seed) {
  nolvo::test::Rng rng(seed);
  std::vector<Field> fields(n);
  for (auto& f : fields) {
    f.width = static_cast<int>(rng.Below(17));
    f.value = static_cast<std::uint32_t>(rng.Next()) & ((1u << f.width) - 1);
  }
  return fields;
}

TEST(Lh5BitWriter, PacksMostSignificantBitFirstAndKeepsAPartialByte) {
  const auto fields = RandomFields(20000, 1);
  test::BitString expected;
  MemoryStream dest;
  MemoryStream none;
  CodecContext context(CodecComponent{}, dest, none, 0, true, false);
  Lh5BitWriter writer(context);
  for (const Field& f : fields) {
    expected.Put(f.width, f.value);
    writer.Put(f.width, f.value);
  }
  writer.Flush();
  context.FlushDest();
  std::vector<std::uint8_t> whole = expected.Bytes();
  whole.resize(expected.BitCount() / 8);
  EXPECT_EQ(dest.Bytes(), whole);
  EXPECT_EQ(writer.Pending(), static_cast<int>(expected.BitCount() % 8));
}

TEST(Lh5BitReader, ReadsBackAcrossChunksAndPadsWithZeros) {
  const auto fields = RandomFields(30000, 2);
  test::BitString stream;
  for (const Field& f : fields) stream.Put(f.width, f.value);
  MemoryStream source(stream.Bytes());
  MemoryStream dest;
  CodecContext context(CodecComponent{}, dest, source,
                       static_cast<std::int32_t>(stream.Bytes().size()), true, false);
  Lh5BitReader reader(context);
  reader.Start();
  for (const Field& f : fields) {
    ASSERT_EQ(reader.Peek(f.width), f.value);
    ASSERT_EQ(reader.Read(f.width), f.value);
  }
  EXPECT_FALSE(reader.Overrun());
  EXPECT_EQ(reader.Position(), stream.BitCount());
  // Everything after the data reads as zero; consuming it is an overrun once the
  // stream's last byte is used up.
  const int spare = static_cast<int>(stream.Bytes().size() * 8 - stream.BitCount());
  EXPECT_EQ(reader.Read(spare), 0u);
  EXPECT_FALSE(reader.Overrun());
  EXPECT_EQ(reader.Read(16), 0u);
  EXPECT_TRUE(reader.Overrun());
}

TEST(Lh5BitReader, AsksForTheNextChunkOnlyWhenItsSixteenBitViewNeedsIt) {
  std::vector<std::uint8_t> bytes(20000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
  MemoryStream source(bytes);
  MemoryStream dest;
  CodecContext context(CodecComponent{}, dest, source, 20000, true, false);
  Lh5BitReader reader(context);
  reader.Start();
  EXPECT_EQ(reader.Window(), 0x0001u);
  EXPECT_EQ(source.Position(), 8192);
  // Up to bit 8190*8 the view (16 bits) stays inside the first chunk.
  for (int i = 0; i < 8190; ++i) reader.Skip(8);
  EXPECT_EQ(source.Position(), 8192);
  EXPECT_EQ(reader.Window(), (8190u % 256) << 8 | (8191u % 256));
  reader.Skip(1);
  EXPECT_EQ(source.Position(), 16384);
  EXPECT_EQ(reader.Peek(15), ((8190u % 256) << 8 | (8191u % 256)) & 0x7FFF);
}

}  // namespace
}  // namespace nolvo::codec
