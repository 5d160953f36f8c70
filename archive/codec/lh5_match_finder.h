#pragma once
// Match finder of the -lh5- encoder: hash chains over the previous 8192 positions,
// one keyed by a position's first three bytes and one by its first five. Adding a
// position only links it into its chains, so positions whose match is never asked
// for cost next to nothing.
//
// A search is exact: it yields the longest match and, among equally long ones, the
// nearest. It walks candidates from the nearest back and keeps only strictly longer
// ones. Once the best so far is L bytes long, any better candidate must also agree
// on the bytes ending at index L, so the walk moves to the chain of the three or five
// bytes that end there (a far sparser chain than that of the first three bytes) and
// skips its entries no older than the best. Where that chain would start with such
// entries (inside long runs it holds nearly every position), the walk follows the
// best match's own chain from the best match on instead. Every candidate that can
// still win lies on whichever chain is walked, so nothing is missed.

#include <cstdint>
#include <memory>

namespace nolvo::codec {

class Lh5MatchFinder {
 public:
  static constexpr std::uint32_t kWindow = 8192;  // how far back a match may start
  static constexpr int kMaxMatch = 256;

  struct Match {
    int length = 0;  // 0 when no match of at least 3 bytes exists
    std::uint32_t position = 0;
  };

  Lh5MatchFinder();

  // Forgets every position, so that positions may start anew (from any value of 1 or
  // more).
  void Reset();

  // Positions start at 1 and increase by one per call of Insert, Add or AddRun. 256
  // bytes must be readable at `bytes` for position `pos`, and compared as they are:
  // near the end of an input they are whatever the caller's text holds past it, and
  // the caller clamps the length. The bytes of earlier positions must still be
  // readable, unchanged, at bytes - (pos - earlier).

  // Returns the longest match of at least 3 bytes (at most 256) against positions
  // pos-8192..pos-1 (the nearest among equals), then adds `pos`. With `longer_than`
  // only a match longer than that is looked for; none found returns length 0.
  Match Insert(std::uint32_t pos, const std::uint8_t* bytes, int longer_than = kShortKey - 1);

  // Adds `count` positions from `pos` on without searching.
  void AddRun(std::uint32_t pos, const std::uint8_t* bytes, int count);

  // Adds `pos` without searching.
  void Add(std::uint32_t pos, const std::uint8_t* bytes) {
    if (first_ == 0) first_ = pos;
    AddHashed(pos, bytes, HashShort(bytes));
  }

 private:
  static constexpr int kShortKey = 3;
  static constexpr int kLongKey = 5;
  static constexpr int kHashBits = 16;  // fewer false candidates pay for the larger heads
  static constexpr std::uint32_t kCyclic = 2 * kWindow;  // link slots of the live positions

  // Keys are the first bytes of a position, the first at the bottom.
  static std::uint32_t ShortKey(const std::uint8_t* b) {
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16;
  }
  static std::uint64_t LongKey(const std::uint8_t* b) {
    return ShortKey(b) | static_cast<std::uint64_t>(b[3]) << 24 |
           static_cast<std::uint64_t>(b[4]) << 32;
  }
  static std::uint32_t HashOfShortKey(std::uint32_t key) {
    return (key * 2654435761u) >> (32 - kHashBits);
  }
  static std::uint32_t HashOfLongKey(std::uint64_t key) {
    return static_cast<std::uint32_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - kHashBits));
  }
  static std::uint32_t HashShort(const std::uint8_t* b) { return HashOfShortKey(ShortKey(b)); }
  static std::uint32_t HashLong(const std::uint8_t* b) { return HashOfLongKey(LongKey(b)); }
  void AddHashed(std::uint32_t pos, const std::uint8_t* bytes, std::uint32_t h) {
    Link(heads_short_.get(), links_short_.get(), h, pos);
    Link(heads_long_.get(), links_long_.get(), HashLong(bytes), pos);
  }
  // The chain of the key that ends at index len (len below 256): any match
  // longer than len agrees on it. Sets the walk's skew, links and first entry.
  void SharpestChain(const std::uint8_t* bytes, int len, std::uint32_t& skew,
                     const std::uint16_t*& links, std::uint32_t& d) const {
    if (len + 1 >= kLongKey) {
      skew = static_cast<std::uint32_t>(len + 1 - kLongKey);
      links = links_long_.get();
      d = heads_long_[HashLong(bytes + skew)];
    } else {
      skew = static_cast<std::uint32_t>(len + 1 - kShortKey);
      links = links_short_.get();
      d = heads_short_[HashShort(bytes + skew)];
    }
  }
  // Makes `pos` the newest entry of chain `h`. A link holds the distance back to the
  // chain's previous entry, 0 when there is none within the window.
  static void Link(std::uint32_t* heads, std::uint16_t* links, std::uint32_t h, std::uint32_t pos) {
    const std::uint32_t back = pos - heads[h];
    links[pos & (kCyclic - 1)] =
        heads[h] != 0 && back <= kWindow ? static_cast<std::uint16_t>(back) : 0;
    heads[h] = pos;
  }

  std::uint32_t first_ = 0;  // the first position; nothing before it is a candidate
  std::unique_ptr<std::uint32_t[]> heads_short_;  // newest position per chain, 0 = none
  std::unique_ptr<std::uint16_t[]> links_short_;
  std::unique_ptr<std::uint32_t[]> heads_long_;
  std::unique_ptr<std::uint16_t[]> links_long_;
};

}  // namespace nolvo::codec
