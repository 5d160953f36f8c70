// The -lh5- encoder on 2 to 4 threads against the single-threaded one, with small
// segments so that short inputs are split many times: the same stream byte for byte.
// The first byte chooses the thread count and the segment size.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/codec/codec_context.h"
#include "archive/codec/lh5.h"
#include "platform/byte_stream.h"

namespace {

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& input, int threads,
                                 std::int64_t segment) {
  using namespace nolvo;
  codec::CodecComponent component;
  component.SizeMargin = -65536;  // room for incompressible input
  platform::MemoryStream source(input);
  platform::MemoryStream dest;
  codec::CodecContext context(component, dest, source, static_cast<std::int32_t>(input.size()),
                              false, false);
  if (threads == 1) {
    codec::Lh5Compress(context);
  } else {
    codec::Lh5CompressParallel(context, threads, segment);
  }
  context.FlushDest();
  return dest.Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 65536) return 0;
  const int threads = 2 + data[0] % 3;
  const std::int64_t segment = 1024 + (data[0] / 3) * 97;
  const std::vector<std::uint8_t> input(data + 1, data + size);
  if (Encode(input, threads, segment) != Encode(input, 1, 0)) __builtin_trap();
  return 0;
}
