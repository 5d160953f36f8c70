#pragma once
// The bit writer of the -lh5- encoder: codes go out most significant bit first. Whole
// bytes collect in a small buffer that goes to the run's sink (as if byte by byte)
// when it fills and on Flush.

#include <cstdint>

#include "archive/codec/codec_context.h"

namespace nolvo::codec {

class Lh5BitWriter {
 public:
  explicit Lh5BitWriter(CodecContext& context) : context_(context) {}

  // Writes the low n bits of `value` (n = 0..16), the highest of them first.
  void Put(int n, std::uint32_t value) {
    bits_ = (bits_ << n) | (value & ((1u << n) - 1));
    count_ += n;
    if (count_ >= 32) {
      count_ -= 32;
      if (fill_ + 4 > kBufferSize) Drain();
      const auto word = static_cast<std::uint32_t>(bits_ >> count_);
      buffer_[fill_] = static_cast<std::uint8_t>(word >> 24);
      buffer_[fill_ + 1] = static_cast<std::uint8_t>(word >> 16);
      buffer_[fill_ + 2] = static_cast<std::uint8_t>(word >> 8);
      buffer_[fill_ + 3] = static_cast<std::uint8_t>(word);
      fill_ += 4;
    }
  }

  // Hands every whole byte written so far to the sink; fewer than 8 bits stay.
  void Flush() {
    while (count_ >= 8) {
      count_ -= 8;
      if (fill_ == kBufferSize) Drain();
      buffer_[fill_++] = static_cast<std::uint8_t>(bits_ >> count_);
    }
    Drain();
  }

  // Bits written but not yet handed out (less than 8 right after Flush).
  int Pending() const { return count_; }

 private:
  static constexpr int kBufferSize = 4096;

  void Drain() {
    const int n = fill_;
    fill_ = 0;
    context_.WriteDestBytes(buffer_, static_cast<std::size_t>(n));
  }

  CodecContext& context_;
  std::uint64_t bits_ = 0;  // pending bits in the low `count_` bits (upper bits stale)
  int count_ = 0;
  int fill_ = 0;
  std::uint8_t buffer_[kBufferSize];
};

}  // namespace nolvo::codec
