// Run-length encoder. A byte equal to the one before it opens a run, which grows to
// at most 255 bytes; the escape byte is never run-coded.

#include "archive/codec/codec_context.h"
#include "archive/codec/rle.h"

namespace nolvo::codec {
namespace {

class RleEncoder {
 public:
  explicit RleEncoder(CodecContext& context) : context_(context) {}

  void Run() {
    for (;;) {
      const std::uint8_t c = context_.ReadSourceByte();
      if (context_.EndOfInput()) break;
      Add(c);
    }
    if (in_run_) EmitRun();
  }

 private:
  void Add(std::uint8_t c) {
    if (in_run_) {
      if (c == last_ && count_ < 255) {
        ++count_;
      } else {
        EmitRun();
        in_run_ = false;
        WriteLiteral(c);
      }
    } else if (c != kRleEscape && c == last_ && !first_) {
      count_ = 2;
      in_run_ = true;
    } else {
      WriteLiteral(c);
    }
    last_ = c;
    first_ = false;
  }

  void WriteLiteral(std::uint8_t c) {
    context_.WriteDestByte(c);
    if (c == kRleEscape) context_.WriteDestByte(0);
  }

  // A run of n bytes follows the literal that opened it: n > 2 is sent as the escape
  // and n, shorter ones as the remaining copies of the byte.
  void EmitRun() {
    if (count_ > 2 || count_ == 0) {
      context_.WriteDestByte(kRleEscape);
      context_.WriteDestByte(static_cast<std::uint8_t>(count_));
    } else {
      for (int i = 1; i < count_; ++i) context_.WriteDestByte(last_);
    }
  }

  CodecContext& context_;
  std::uint8_t last_ = 0;
  int count_ = 0;
  bool in_run_ = false;
  bool first_ = true;
};

}  // namespace

void RleCompress(CodecContext& context) {
  RleEncoder encoder(context);
  encoder.Run();
}

}  // namespace nolvo::codec
