#pragma once
// The -lh5- method of the LHA archive format: LZ77 over an 8192-byte dictionary with
// static Huffman codes sent at the head of each block. Only the raw compressed data is
// handled here (no LHA member header, no CRC).

#include <cstdint>
#include <functional>

#include "archive/codec/codec_context.h"

namespace nolvo::codec {

// Decodes one entry of `original_size` bytes from the run's source into its sink.
// The last match may run up to 255 bytes past original_size; it is written whole.
// Throws ELZHBadDecodeTable for an unusable block header and ETruncatedData when the
// stream needs bits beyond the stored data.
void Lh5Expand(CodecContext& context, std::int32_t original_size);

// Observes a decoding token by token: a block header (symbol -1, distance = the
// block's symbol count, 0 meaning 65536), a literal (symbol 0..255) or a match
// (symbol 256..509, distance value 0..8191).
using Lh5TokenObserver = std::function<void(int symbol, std::uint32_t distance)>;

// Lh5Expand that also reports every token to `observer` (for tools and tests).
void Lh5ExpandObserved(CodecContext& context, std::int32_t original_size,
                       const Lh5TokenObserver& observer);

// Encodes everything the run's source yields until its input ends.
void Lh5Compress(CodecContext& context);

// How much input one thread of Lh5CompressParallel parses at a time.
inline constexpr std::int64_t kLh5SegmentSize = 256 * 1024;

// Lh5Compress with the parsing spread over `threads` worker threads, segment by segment
// (`segment_size` bytes, 0: kLh5SegmentSize; tests pass small ones). The calling thread
// reads the input, joins the parses and writes the stream, so the run's source, sink
// and progress handler are used on it alone. The stream is byte for byte that of
// Lh5Compress for any thread count and segment size.
void Lh5CompressParallel(CodecContext& context, int threads, std::int64_t segment_size = 0);

}  // namespace nolvo::codec
