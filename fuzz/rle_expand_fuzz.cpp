// Expands arbitrary stored bytes with the rle decoder (key, flags and sizes taken
// from the input).
#include "fuzz/codec_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nolvo::fuzz::FuzzExpand(nolvo::codec::TCompressionMethod::coRLE, data, size, 0);
  return 0;
}
