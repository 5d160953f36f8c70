#include "archive/codec/codec_run.h"

#include "archive/codec/codec_context.h"
#include "archive/codec/lh5.h"
#include "archive/codec/lzhuf.h"
#include "archive/codec/rle.h"

namespace nolvo::codec {

int ProgressPercent(std::int32_t done, std::int32_t total) {
  if (total <= 0) return 0;
  if (total <= 100000) return static_cast<int>(static_cast<std::int64_t>(done) * 100 / total);
  return static_cast<int>(done / (total / 100));
}

std::int32_t RunCodec(const CodecComponent& Component, platform::ByteStream& Dest,
                      platform::ByteStream& Source, std::int32_t SourceSize,
                      std::int32_t OriginalSize, TCompressionMethod Method, std::int32_t& Checksum,
                      TCodecDirection Direction) {
  // The context owns both buffers and releases them on every exit path; buffered
  // output is dropped when an exception passes.
  CodecContext context(Component, Dest, Source, SourceSize, Direction);
  if (context.Expanding()) {
    switch (Method) {
      case TCompressionMethod::coRLE:
        RleExpand(context, OriginalSize);
        break;
      case TCompressionMethod::coLZH:
        LzhufExpand(context, OriginalSize);
        break;
      case TCompressionMethod::coLZH5:
        Lh5Expand(context, OriginalSize);
        break;
      default:
        break;
    }
    Checksum = static_cast<std::int32_t>(context.OutputChecksum());
  } else {
    switch (Method) {
      case TCompressionMethod::coRLE:
        RleCompress(context);
        break;
      case TCompressionMethod::coLZH:
        LzhufCompress(context);
        break;
      case TCompressionMethod::coLZH5:
        // Threads pay off only over a few segments.
        if (Component.Threads > 1 && SourceSize > 2 * kLh5SegmentSize) {
          Lh5CompressParallel(context, Component.Threads);
        } else {
          Lh5Compress(context);
        }
        break;
      default:
        break;
    }
    Checksum = static_cast<std::int32_t>(context.InputChecksum());
  }
  context.FlushDest();
  return static_cast<std::int32_t>(context.BytesWritten());
}

}  // namespace nolvo::codec
