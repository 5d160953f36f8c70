#pragma once
// The -lh5- method of the LHA archive format: LZ77 over an 8192-byte dictionary with
// static Huffman codes sent at the head of each block. Only the raw compressed data is
// handled here (no LHA member header, no CRC).

#include <cstdint>

#include "archive/codec/codec_context.h"

namespace nolvo::codec {

// Decodes one entry of `original_size` bytes from the run's source into its sink.
// The last match may run up to 255 bytes past original_size; it is written whole.
// Throws ELZHBadDecodeTable for an unusable block header and ETruncatedData when the
// stream needs bits beyond the stored data.
void Lh5Expand(CodecContext& context, std::int32_t original_size);

// Encodes everything the run's source yields until its input ends.
void Lh5Compress(CodecContext& context);

}  // namespace nolvo::codec
