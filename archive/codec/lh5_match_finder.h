#pragma once
// Match finder of the -lh5- encoder: binary search trees of the previous 8192
// positions, one tree per hash of a position's first three bytes, ordered by the
// bytes that follow each position. Every insertion makes the new position the root of
// its tree, so each tree is also ordered by age (younger above older). Walking down to
// the new position's place therefore meets, for every length, the youngest position
// that matches at least that far: the result is the longest match and, among equally
// long ones, the nearest. Positions older than the window are cut off where the walk
// meets them; everything below them is older still.

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

  // Inserts position `pos` (positions start at 1 and increase by one per call) whose
  // bytes start at `bytes`; `limit` (at most 256) real bytes may be compared there.
  // The bytes of earlier positions must still be readable at bytes - (pos - earlier).
  // Returns the longest match of at least 3 bytes against positions pos-8192..pos-1.
  Match Insert(std::uint32_t pos, const std::uint8_t* bytes, int limit);

 private:
  static constexpr int kHashBits = 15;
  static constexpr std::uint32_t kCyclic = 2 * kWindow;  // slots for the live positions

  std::unique_ptr<std::uint32_t[]> head_;   // root position of each tree, 0 = empty
  std::unique_ptr<std::uint32_t[]> links_;  // two per slot: smaller, larger
};

}  // namespace nolvo::codec
