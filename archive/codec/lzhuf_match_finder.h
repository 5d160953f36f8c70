#pragma once
// Finds LZHUF matches: for the position being inserted, the longest string (at most
// 60 bytes) that starts at one of the positions already held, and among equally long
// ones the nearest. Positions are counted absolutely (they keep growing); the window
// slot of position p is p mod 4096.
//
// Two structures hold the positions. Binary search trees ordered by the 60 bytes at
// each position give the longest length: the new string's neighbours in that order
// lie on its insertion path. Chains of positions with the same first three bytes,
// newest first, then give the nearest position that reaches that length.

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
  // What the text buffer must hold: kTextSize bytes plus 8 that are read but never
  // matter (comparisons go a word at a time).
  static constexpr int kTextAlloc = kTextSize + 8;

  struct Match {
    int length = 0;    // 0 when no string of 3 or more bytes matches
    int position = 0;  // distance - 1: 0 is the position just before
  };

  // `text` must stay valid, with kTextAlloc bytes, for the finder's life. The bytes of
  // a held position must not change while it is held.
  explicit LzhufMatchFinder(const std::uint8_t* text);
  ~LzhufMatchFinder();

  // Finds the match of `pos` against the held positions, then holds `pos` too.
  // Positions are inserted in increasing order, each less than 4096 after the oldest
  // held one.
  Match Insert(std::int64_t pos);

  // Drops `pos` and every older position; positions leave oldest first.
  void Remove(std::int64_t pos);

 private:
  static constexpr int kHashBits = 14;
  static constexpr int kTrees = 4096;
  static constexpr int kNil = kWindow;  // no node

  // The first three bytes, hashed for the short chains.
  unsigned Hash3(int slot) const {
    const std::uint32_t key = (std::uint32_t{text_[slot]} << 16) |
                              (std::uint32_t{text_[slot + 1]} << 8) | text_[slot + 2];
    return (key * 2654435761u) >> (32 - kHashBits);
  }
  // The first eight bytes, hashed for the long chains.
  unsigned Hash8(int slot) const;

  // Length of the common start of the strings at two slots, up to `limit` (<= 60).
  int CommonLength(int a, int b, int from, int limit) const;

  // The nearest position of a chain (heads and links) that agrees with `pos` in its
  // first `length` bytes; `seen` is such a position, so the walk stops there.
  std::int64_t Nearest(const std::int64_t* head, const std::int64_t* prev, unsigned h,
                       std::int64_t pos, int length, std::int64_t seen) const;

  // The tree of a string: its first byte and a 4-bit mix of the next two.
  int TreeRoot(int slot) const {
    const unsigned h = text_[slot + 1] ^ text_[slot + 2];
    return kWindow + 1 + text_[slot] + 256 * static_cast<int>((h ^ (h >> 4)) & 15);
  }

  // Inserts the string at `slot` into its tree; returns the longest common length
  // with a held string and sets `seen` to the nearest position of that length met on
  // the way. A held string equal in all 60 bytes is replaced.
  int TreeInsert(int slot, std::int64_t& seen);
  void TreeDelete(int slot);

  const std::uint8_t* text_;
  std::int64_t low_ = 0;  // oldest position still held

  struct Arrays;
  std::unique_ptr<Arrays> a_;
};

}  // namespace nolvo::codec
