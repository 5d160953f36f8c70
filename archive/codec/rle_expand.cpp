// Run-length decoder. Stored bytes are taken a buffered chunk at a time; stretches
// without the escape byte pass to the output in one piece.

#include <algorithm>
#include <cstring>

#include "archive/codec/codec_context.h"
#include "archive/codec/rle.h"

namespace nolvo::codec {
namespace {

class RleDecoder {
 public:
  RleDecoder(CodecContext& context, std::int32_t original_size)
      : context_(context), limit_(std::max<std::int32_t>(original_size, 0)) {}

  void Run();

 private:
  // Passes `count` bytes on, refusing any byte past the original size.
  void Emit(const std::uint8_t* bytes, std::size_t count) {
    const std::int64_t room = limit_ - produced_;
    if (static_cast<std::int64_t>(count) > room) {
      context_.WriteDestBytes(bytes, static_cast<std::size_t>(room));
      produced_ = limit_;
      throw EExpandOverrun();
    }
    context_.WriteDestBytes(bytes, count);
    produced_ += static_cast<std::int64_t>(count);
  }

  // Acts on an escape whose count byte is `n`.
  void Escape(std::uint8_t n) {
    if (n == 0) {
      Emit(&kRleEscape, 1);
    } else if (n > 1) {
      std::uint8_t run[255];
      std::memset(run, last_, n - 1);
      Emit(run, n - 1u);
    }
    last_ = kRleEscape;
  }

  // Decodes a block of stored bytes; an escape as its last byte takes its count from
  // the source.
  void Decode(const std::uint8_t* in, std::size_t n);

  CodecContext& context_;
  const std::int64_t limit_;
  std::int64_t produced_ = 0;
  std::uint8_t last_ = 0;  // the byte before the next escape; 0 at the start
};

void RleDecoder::Decode(const std::uint8_t* in, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    const void* hit = std::memchr(in + i, kRleEscape, n - i);
    const std::size_t j =
        hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - in) : n;
    if (j > i) {
      Emit(in + i, j - i);
      last_ = in[j - 1];
    }
    if (j == n) return;
    std::uint8_t count;
    if (j + 1 < n) {
      count = in[j + 1];
    } else {
      // The count lies in the next chunk, or beyond the stored data: an escape as the last
      // stored byte reads its count as 0 and so stands for itself.
      count = context_.ReadSourceByte();
    }
    Escape(count);
    i = j + 2;
  }
}

void RleDecoder::Run() {
  std::uint8_t block[CodecContext::kBufferSize];
  for (;;) {
    std::size_t n = context_.TakeBuffered(block, sizeof block);
    if (n == 0) {
      block[0] = context_.ReadSourceByte();
      if (context_.EndOfInput()) break;
      n = 1 + context_.TakeBuffered(block + 1, sizeof block - 1);
    }
    Decode(block, n);
  }
  if (produced_ < limit_) CodecContext::RaiseTruncated();
}

}  // namespace

void RleExpand(CodecContext& context, std::int32_t original_size) {
  RleDecoder decoder(context, original_size);
  decoder.Run();
}

}  // namespace nolvo::codec
