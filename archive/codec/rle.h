#pragma once
// The run-length method: bytes pass as they are, except the escape byte 0x94, which
// is followed by a count. Count 0 stands for the escape byte itself; any other count
// n repeats the byte before the escape n - 1 more times.

#include <cstdint>

namespace nolvo::codec {

class CodecContext;

inline constexpr std::uint8_t kRleEscape = 0x94;

// Decodes one entry from the context's source until the stored bytes end; an escape
// as the last stored byte has the count 0 (it writes 0x94). `original_size` bounds the
// output (a negative one counts as 0): a stream that would write more raises
// EExpandOverrun, one that ends before writing that many bytes raises ETruncatedData.
void RleExpand(CodecContext& context, std::int32_t original_size);

// Encodes the context's source until its end. Runs of 3..255 equal bytes become the
// byte, 0x94 and the run length; the escape byte is sent as 0x94, 0.
void RleCompress(CodecContext& context);

}  // namespace nolvo::codec
