// Compresses arbitrary bytes with the lzhuf encoder and expands them again.
#include "fuzz/codec_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nolvo::fuzz::FuzzRoundTrip(nolvo::codec::TCompressionMethod::coLZH, data, size);
  return 0;
}
