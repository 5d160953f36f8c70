// Round trip of the -lh5- encoder: whatever it compresses must expand to the same
// bytes with the same checksum. The first byte chooses a key.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/codec/codec_run.h"
#include "platform/byte_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nolvo;
  if (size < 1) return 0;
  codec::CodecComponent component;
  component.Key = data[0] == 0 ? 0 : static_cast<std::int32_t>(0x01010101u * data[0]);
  component.SizeMargin = -1024;  // room for incompressible input
  const std::vector<std::uint8_t> original(data + 1, data + size);
  const auto original_size = static_cast<std::int32_t>(original.size());

  platform::MemoryStream input(original);
  platform::MemoryStream packed;
  std::int32_t checksum_in = 0;
  const std::int32_t stored_size =
      codec::RunCodec(component, packed, input, original_size, 0, codec::TCompressionMethod::coLZH5,
                      checksum_in, codec::TCodecDirection::cdCompress);
  packed.Seek(0, platform::SeekOrigin::soBeginning);
  platform::MemoryStream output;
  std::int32_t checksum_out = 0;
  codec::RunCodec(component, output, packed, stored_size, original_size,
                  codec::TCompressionMethod::coLZH5, checksum_out,
                  codec::TCodecDirection::cdExpandKeyed);
  if (output.Bytes() != original || checksum_in != checksum_out) __builtin_trap();
  return 0;
}
