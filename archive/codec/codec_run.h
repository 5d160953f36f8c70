#pragma once
// The codec run: expands or compresses one archive entry with a built-in method.

#include <cstdint>
#include <functional>

#include "archive/codec/compression_method.h"
#include "platform/byte_stream.h"

namespace nolvo::codec {

// Progress handler: receives the percentage of stored bytes read so far; setting it
// to -1 cancels the run.
using TShowProgressEvent = std::function<void(int& PercentageDone)>;

// Called where a run gives other work the processor: after each chunk read from the
// source and before each full output buffer is written.
using TYieldEvent = std::function<void()>;

// What the archive component hands to a run: its progress handler, its key and, for
// compressing, the size margin (the stored form must be at least this much shorter
// than the original) and how many threads may encode (the output is the same for any
// count; the handler and the streams are still used on the calling thread alone).
// OnYield lets a program that runs everything on one thread hand the processor on
// between chunks (the setup does); the tools leave it empty and run straight through.
struct CodecComponent {
  TShowProgressEvent OnShowProgress;  // empty: not called
  std::int32_t Key = 0;               // 0: no key
  std::int32_t SizeMargin = 0;
  std::int32_t Threads = 1;
  TYieldEvent OnYield;  // empty: not called
};

// Which way an entry goes through a codec. Compressing scrambles the stored bytes whenever
// the component's key is not 0; expanding descrambles them only when they were keyed.
enum class TCodecDirection { cdCompress, cdExpand, cdExpandKeyed };

// Runs one entry through a codec.
//   Dest receives the output; Source stands at the entry's first byte.
//   SourceSize: bytes that may be read from Source (stored bytes when expanding,
//     original bytes when compressing).
//   OriginalSize: original bytes of the entry (expanding only).
//   Method: coRLE, coLZH or coLZH5; any other value produces no output, checksum 0.
//   Checksum: receives the 32-bit byte sum of the original bytes.
//   Direction: encodes, or decodes stored bytes that are plain or keyed.
// Returns the number of bytes written to Dest.
// Throws ELZHBadDecodeTable, ETruncatedData, EExpandOverrun, EUnableToCompress, and
// whatever the streams raise. Output still buffered when an exception passes is dropped.
std::int32_t RunCodec(const CodecComponent& Component, platform::ByteStream& Dest,
                      platform::ByteStream& Source, std::int32_t SourceSize,
                      std::int32_t OriginalSize, TCompressionMethod Method, std::int32_t& Checksum,
                      TCodecDirection Direction);

// Percentage of `done` in `total`, computed so that no intermediate overflows 32 bits.
int ProgressPercent(std::int32_t done, std::int32_t total);

}  // namespace nolvo::codec
