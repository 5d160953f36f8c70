#pragma once
// Finds LZHUF matches: for the position being inserted, the longest string (at most
// 60 bytes) that starts at one of the positions already held, and among equally long
// ones the nearest. Positions are counted absolutely (they keep growing); the window
// slot of position p is p mod 4096. Held positions hash on their first three bytes
// into chains that run from the newest to the oldest, so the first candidate of a
// length is the nearest one.

#include <cstdint>
#include <memory>

namespace nolvo::codec {

class LzhufMatchFinder {
 public:
  static constexpr int kWindow = 4096;
  static constexpr int kMaxMatch = 60;
  static constexpr int kMinMatch = 3;
  // The text the finder reads: window slots 0..4095 followed by a copy of slots
  // 0..58, so that a 60-byte string starting at any slot can be read without wrapping.
  static constexpr int kTextSize = kWindow + kMaxMatch - 1;

  struct Match {
    int length = 0;    // 0 when no string of 3 or more bytes matches
    int position = 0;  // distance - 1: 0 is the position just before
  };

  // `text` must stay valid, with kTextSize bytes, for the finder's life.
  explicit LzhufMatchFinder(const std::uint8_t* text);

  // Finds the match of `pos` against the held positions, then holds `pos` too.
  // Positions are inserted in increasing order, each less than 4096 after the oldest
  // held one.
  Match Insert(std::int64_t pos);

  // Drops `pos` and every older position (positions leave oldest first).
  void Remove(std::int64_t pos) {
    if (pos >= low_) low_ = pos + 1;
  }

 private:
  static constexpr int kHashBits = 14;

  unsigned Hash(int slot) const {
    const std::uint32_t key = (std::uint32_t{text_[slot]} << 16) |
                              (std::uint32_t{text_[slot + 1]} << 8) | text_[slot + 2];
    return (key * 2654435761u) >> (32 - kHashBits);
  }

  const std::uint8_t* text_;
  std::int64_t low_ = 0;                   // oldest position still held
  std::unique_ptr<std::int64_t[]> head_;   // newest position of each hash, or -1
  std::unique_ptr<std::int64_t[]> prev_;   // per slot: next older position of its hash
};

}  // namespace nolvo::codec
