#pragma once
// The bit writer of the -lh5- encoder: codes go out most significant bit first, and
// each byte is handed to the run's sink as soon as it is full.

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
    while (count_ >= 8) {
      count_ -= 8;
      context_.WriteDestByte(static_cast<std::uint8_t>(bits_ >> count_));
    }
  }

  // Bits written but not yet handed out (less than 8).
  int Pending() const { return count_; }

 private:
  CodecContext& context_;
  std::uint32_t bits_ = 0;  // pending bits in the low `count_` bits (upper bits stale)
  int count_ = 0;
};

}  // namespace nolvo::codec
