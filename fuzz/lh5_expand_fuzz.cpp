// Feeds arbitrary stored data to the -lh5- decoder through a codec run. The first
// eight bytes choose the original size (up to 256 KB), the stated stored size, the key
// and whether the entry is keyed; the rest is the stored stream.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/codec/codec_errors.h"
#include "archive/codec/codec_run.h"
#include "platform/byte_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nolvo;
  if (size < 8) return 0;
  const std::int32_t original_size =
      static_cast<std::int32_t>((data[0] | data[1] << 8 | data[2] << 16) & 0x3FFFF);
  const std::int32_t extra = data[3];  // the stated size may exceed the data present
  codec::CodecComponent component;
  component.Key = static_cast<std::int32_t>(data[4] | data[5] << 8 | data[6] << 16);
  const bool keyed = (data[7] & 1) != 0;
  std::vector<std::uint8_t> stored(data + 8, data + size);
  const auto stored_size = static_cast<std::int32_t>(stored.size()) + extra;
  platform::MemoryStream source(std::move(stored));
  platform::NullStream dest;
  std::int32_t checksum = 0;
  try {
    codec::RunCodec(
        component, dest, source, stored_size, original_size, codec::TCompressionMethod::coLZH5,
        checksum, keyed ? codec::TCodecDirection::cdExpandKeyed : codec::TCodecDirection::cdExpand);
  } catch (const codec::ECompressError&) {
    return 0;
  } catch (const codec::ELZHBadDecodeTable&) {
    return 0;
  }
  // Decoding stops at the original size plus at most one match.
  if (dest.Size() < original_size || dest.Size() > original_size + 255) __builtin_trap();
  return 0;
}
