#pragma once
// The token choice of the -lh5- encoder over one stretch of input held in memory, for
// encoding with several threads. The choice at a position depends on nothing but the
// position (its match is the longest and nearest one within the 8192 bytes before it),
// so a parse that starts at any position with the finder primed from the 8192 bytes
// before it agrees with the single-threaded encoder from the first position where both
// start a token.

#include <cstdint>
#include <limits>
#include <vector>

#include "archive/codec/lh5_match_finder.h"

namespace nolvo::codec {

// Tokens of a parse, compactly: groups of eight behind a flag byte (a 1-bit, most
// significant first, marks a match), a literal as its byte, a match as its length less
// 3 and its distance value, high byte first. Token positions follow from the lengths.
class Lh5Tokens {
 public:
  // Empties the list; the next token starts at `start`. `room` tokens' bytes are
  // reserved.
  void Reset(std::int64_t start, std::size_t room = 0);

  void Literal(std::uint8_t byte) {
    Group();
    bytes_.push_back(byte);
    ++end_;
  }
  void Match(int length, std::uint32_t distance) {
    Group();
    bytes_[flag_at_] |= static_cast<std::uint8_t>(mask_);
    bytes_.push_back(static_cast<std::uint8_t>(length - 3));
    bytes_.push_back(static_cast<std::uint8_t>(distance >> 8));
    bytes_.push_back(static_cast<std::uint8_t>(distance));
    end_ += length;
  }

  std::int64_t Start() const { return start_; }
  // Where a token after the last would start.
  std::int64_t End() const { return end_; }

  // Walks the tokens in order.
  class Reader {
   public:
    explicit Reader(const Lh5Tokens& tokens) : bytes_(&tokens.bytes_), position_(tokens.start_) {
      Decode();
    }
    bool Done() const { return done_; }
    // Where the current token starts (after the last: where the next would).
    std::int64_t Position() const { return position_; }
    bool IsMatch() const { return length_ > 1; }
    int Length() const { return length_; }
    std::uint8_t Byte() const { return byte_; }
    std::uint32_t Distance() const { return distance_; }
    void Next() {
      position_ += length_;
      Decode();
    }
    // Moves on to the first token that starts at or after `position`.
    void SkipTo(std::int64_t position) {
      while (!done_ && position_ < position) Next();
    }

   private:
    void Decode() {
      const std::vector<std::uint8_t>& b = *bytes_;
      if (at_ >= b.size()) {
        done_ = true;
        length_ = 0;
        return;
      }
      if (left_ == 0) {
        flags_ = b[at_++];
        left_ = 8;
      }
      --left_;
      const bool match = (flags_ & 0x80) != 0;
      flags_ <<= 1;
      if (match) {
        length_ = b[at_] + 3;
        distance_ = static_cast<std::uint32_t>(b[at_ + 1] << 8 | b[at_ + 2]);
        at_ += 3;
      } else {
        length_ = 1;
        byte_ = b[at_++];
      }
    }

    const std::vector<std::uint8_t>* bytes_;
    std::size_t at_ = 0;
    unsigned flags_ = 0;
    int left_ = 0;
    std::int64_t position_;
    int length_ = 0;
    std::uint8_t byte_ = 0;
    std::uint32_t distance_ = 0;
    bool done_ = false;
  };

 private:
  void Group() {
    if ((mask_ >>= 1) != 0) return;
    mask_ = 0x80;
    flag_at_ = bytes_.size();
    bytes_.push_back(0);
  }

  std::vector<std::uint8_t> bytes_;
  std::size_t flag_at_ = 0;
  unsigned mask_ = 0;
  std::int64_t start_ = 0;
  std::int64_t end_ = 0;
};

// Input bytes in memory: input index `first` is bytes[0]. A parse up to `until` reads
// up to min(until, input_end) + kLookAhead: the input's own bytes, or past the input's
// end the bytes the single-threaded encoder's text holds there (spaces up to input
// index 8191, further on the byte 8192 positions before).
struct Lh5Stretch {
  static constexpr std::int64_t kNoEnd = std::numeric_limits<std::int64_t>::max();
  // A token starting just before `until` looks at up to 256 positions after it, each
  // with 256 bytes (and the finder loads 8 at a time).
  static constexpr std::int64_t kLookAhead = 2 * 256 + 8;

  const std::uint8_t* bytes = nullptr;
  std::int64_t first = 0;
  // The input's length, or kNoEnd while it lies beyond every position parsed plus 256.
  std::int64_t input_end = kNoEnd;
};

// Parses as the single-threaded encoder does, from the token start `from` (the finder
// is reset and primed with the positions from max(first, from - 8192) up to `from`).
// Stops at the input's end, at the first token start at or past `until`, or, with
// `meet`, at the first token start that is also one of `meet`'s (which is moved on to
// it). The tokens go to `out`; returns where the parse stopped.
std::int64_t Lh5Parse(Lh5MatchFinder& finder, const Lh5Stretch& stretch, std::int64_t from,
                      std::int64_t until, Lh5Tokens& out, Lh5Tokens::Reader* meet = nullptr);

}  // namespace nolvo::codec
