#include "archive/codec/lzhuf_match_finder.h"

#include <algorithm>

namespace nolvo::codec {

LzhufMatchFinder::LzhufMatchFinder(const std::uint8_t* text)
    : text_(text),
      head_(new std::int64_t[std::size_t{1} << kHashBits]),
      prev_(new std::int64_t[kWindow]) {
  std::fill_n(head_.get(), std::size_t{1} << kHashBits, -1);
  std::fill_n(prev_.get(), kWindow, -1);
}

LzhufMatchFinder::Match LzhufMatchFinder::Insert(std::int64_t pos) {
  const int slot = static_cast<int>(pos & (kWindow - 1));
  const std::uint8_t* key = text_ + slot;
  const unsigned h = Hash(slot);

  Match best;
  int best_len = kMinMatch - 1;
  // A chain link is only followed from a position whose slot has not been reused.
  const std::int64_t oldest = std::max(low_, pos - (kWindow - 1));
  for (std::int64_t cand = head_[h]; cand >= oldest && cand >= 0;
       cand = prev_[cand & (kWindow - 1)]) {
    const std::uint8_t* p = text_ + (cand & (kWindow - 1));
    // Only a string that also agrees at the current best length can be longer.
    if (p[best_len] != key[best_len]) continue;
    int n = 0;
    while (n < kMaxMatch && p[n] == key[n]) ++n;
    if (n > best_len) {
      best_len = n;
      best.length = n;
      best.position = static_cast<int>(pos - cand - 1);
      if (n == kMaxMatch) break;
    }
  }
  prev_[slot] = head_[h];
  head_[h] = pos;
  return best;
}

}  // namespace nolvo::codec
