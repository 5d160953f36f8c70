#pragma once
// Finds LZHUF matches with binary search trees of window slots, each ordered by the
// 60 bytes that start at its slot. A slot goes into one of 4096 trees chosen by its
// first byte and a 4-bit mix of the next two, so every string sharing its first three
// bytes is in the same tree.
//
// Inserting a slot walks its tree from the top. The answer is the longest common
// start met on that walk (at most 60) and, among equally long ones met, the nearest.
// The walk passes the new string's neighbours in the tree's order, so the length is
// the longest in the whole tree; which of several equally long strings is named
// depends on the tree's shape, and so on the order of insertions and removals. A
// held string equal in all 60 bytes is replaced by the new one.

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
    int position = 0;  // distance - 1: 0 is the slot just before
  };

  // `text` must stay valid, with kTextAlloc bytes, for the finder's life. The bytes of
  // a held slot's string must not change while it is held.
  explicit LzhufMatchFinder(const std::uint8_t* text);
  ~LzhufMatchFinder();

  // Finds the match of the string at `slot` (0..4095) among the held ones, then holds
  // `slot` too (a slot still held is removed first).
  Match Insert(int slot);

  // Drops `slot` from its tree; a slot not held is left alone.
  void Remove(int slot);

 private:
  static constexpr int kTrees = 4096;
  static constexpr int kNil = kWindow;  // no node

  // The node above a tree: its right link is the tree's top.
  int TreeRoot(int slot) const {
    const unsigned h = text_[slot + 1] ^ text_[slot + 2];
    return kWindow + 1 + text_[slot] + 256 * static_cast<int>((h ^ (h >> 4)) & 15);
  }

  // Length of the common start of the strings at two slots, from byte `from` on.
  int CommonLength(int a, int b, int from) const;

  const std::uint8_t* text_;

  struct Links;
  std::unique_ptr<Links> a_;
};

}  // namespace nolvo::codec
