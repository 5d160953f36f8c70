// The LZ encoders against their plain reference models (tests/codec) on short
// inputs: the same bytes, and the stream expands back to the input. The first byte
// chooses the method (even: -lh5-, odd: LZHUF).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/codec/codec_run.h"
#include "platform/byte_stream.h"
#include "tests/codec/lh5_reference_encoder.h"
#include "tests/codec/lzhuf_reference_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nolvo;
  if (size < 1 || size > 4097) return 0;  // the reference is slow
  const bool lh5 = (data[0] & 1) == 0;
  const auto method = lh5 ? codec::TCompressionMethod::coLZH5 : codec::TCompressionMethod::coLZH;
  const std::vector<std::uint8_t> original(data + 1, data + size);
  const auto original_size = static_cast<std::int32_t>(original.size());
  codec::CodecComponent component;
  component.SizeMargin = -4096;  // room for incompressible input

  platform::MemoryStream input(original);
  platform::MemoryStream packed;
  std::int32_t checksum = 0;
  const std::int32_t stored_size =
      codec::RunCodec(component, packed, input, original_size, 0, method, checksum,
                      codec::TCodecDirection::cdCompress);
  const std::vector<std::uint8_t> want = lh5 ? codec::test::Lh5ReferenceStream(original)
                                             : codec::test::LzhufReferenceEncode(original).stream;
  if (packed.Bytes() != want) __builtin_trap();

  packed.Seek(0, platform::SeekOrigin::soBeginning);
  platform::MemoryStream output;
  codec::RunCodec(component, output, packed, stored_size, original_size, method, checksum,
                  codec::TCodecDirection::cdExpand);
  if (output.Bytes() != original) __builtin_trap();
  return 0;
}
