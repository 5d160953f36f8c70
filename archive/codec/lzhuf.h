#pragma once
// The LZHUF method: LZSS over a 4096-byte window (matches of 3..60 bytes) with an
// adaptive Huffman code for literals and match lengths and a fixed prefix code for
// the upper 6 bits of a match position.

#include <cstdint>

namespace nolvo::codec {

class CodecContext;

// Decodes one entry until at least `original_size` bytes exist (the last match is
// written whole, so up to 59 bytes more). Raises ETruncatedData when a symbol needs a
// bit beyond the stored data.
void LzhufExpand(CodecContext& context, std::int32_t original_size);

// Encodes the context's source until its end; an empty source writes nothing.
void LzhufCompress(CodecContext& context);

}  // namespace nolvo::codec
