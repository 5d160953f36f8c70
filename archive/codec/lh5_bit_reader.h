#pragma once
// The bit reader of the -lh5- decoder. The stored bytes form one bit string, most
// significant bit first. The reader keeps at least 16 unread bits in view (zeros past
// the end of the input) and asks the run for a new byte only when those 16 bits need
// it, so chunks are read from the source exactly when a byte-at-a-time reader would
// read them; within a chunk it takes bytes in bulk.

#include <cstdint>

#include "archive/codec/codec_context.h"

namespace nolvo::codec {

class Lh5BitReader {
 public:
  explicit Lh5BitReader(CodecContext& context) : context_(context) {}

  // Brings the first 16 bits into view (the first two stored bytes).
  void Start() { Refill(); }

  // The next n bits (n = 0..16) without consuming them.
  std::uint32_t Peek(int n) const {
    return n == 0 ? 0 : static_cast<std::uint32_t>(bits_ >> (64 - n));
  }
  // The next 16 bits, the top one first.
  std::uint32_t Window() const { return static_cast<std::uint32_t>(bits_ >> 48); }

  // Drops n bits (n = 0..16).
  void Skip(int n) {
    bits_ <<= n;
    count_ -= n;
    position_ += static_cast<std::uint64_t>(n);
    if (count_ < 16) Refill();
  }

  // Returns the next n bits (n = 0..16) and drops them.
  std::uint32_t Read(int n) {
    const std::uint32_t v = Peek(n);
    Skip(n);
    return v;
  }

  // For a decoder's inner loop: the bit state taken out of the reader, used and put
  // back. While it is out, bits may come only from whole bytes of the current chunk,
  // so the source is read exactly as through Skip. Bits below `count` must be zero.
  struct State {
    std::uint64_t bits;
    int count;
    std::uint64_t position;
  };
  State Export() const { return {bits_, count_, position_}; }
  void Import(const State& s) {
    bits_ = s.bits;
    count_ = s.count;
    position_ = s.position;
  }
  // True once the input has ended (the bits in view end in zero padding).
  bool Ended() const { return ended_; }

  // True once a consumed bit lay beyond the stored data (look-ahead does not count).
  bool Overrun() const { return ended_ && position_ > real_bits_; }
  // Bits consumed so far.
  std::uint64_t Position() const { return position_; }

 private:
  // Moves as many whole bytes of the current chunk into view as fit.
  void TakeFromChunk() {
    std::uint8_t bytes[8];
    const std::size_t got =
        context_.TakeBuffered(bytes, static_cast<std::size_t>((64 - count_) >> 3));
    for (std::size_t i = 0; i < got; ++i) {
      bits_ |= static_cast<std::uint64_t>(bytes[i]) << (56 - count_);
      count_ += 8;
    }
  }

  void Refill() {
    if (!ended_) TakeFromChunk();
    // The view still needs a byte the chunk does not hold: read on (a new chunk),
    // or pad with zeros once the input has ended.
    while (count_ < 16) {
      if (!ended_) {
        const std::uint8_t b = context_.ReadSourceByte();
        if (!context_.EndOfInput()) {
          bits_ |= static_cast<std::uint64_t>(b) << (56 - count_);
          count_ += 8;
          TakeFromChunk();
          continue;
        }
        ended_ = true;
        real_bits_ = position_ + static_cast<std::uint64_t>(count_);
      }
      count_ += 8;
    }
  }

  CodecContext& context_;
  std::uint64_t bits_ = 0;  // unread bits, aligned to the top
  int count_ = 0;           // how many of them are valid (or zero padding)
  std::uint64_t position_ = 0;
  std::uint64_t real_bits_ = 0;
  bool ended_ = false;
};

}  // namespace nolvo::codec
