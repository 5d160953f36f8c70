#include "archive/codec/lh5_match_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nolvo::codec {
namespace {

// How far a and b agree, up to `limit`.
inline int CommonLength(const std::uint8_t* a, const std::uint8_t* b, int limit) {
  int len = 0;
#if defined(__SSE2__)
  while (len + 16 <= limit) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + len));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + len));
    const auto equal = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)));
    if (equal != 0xFFFF) return len + std::countr_zero(~equal);
    len += 16;
  }
#endif
  while (std::endian::native == std::endian::little && len + 8 <= limit) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, a + len, 8);
    std::memcpy(&y, b + len, 8);
    if (x != y) {
      // The lowest differing byte in memory order (little-endian hosts).
      return len + (std::countr_zero(x ^ y) >> 3);
    }
    len += 8;
  }
  while (len < limit && a[len] == b[len]) ++len;
  return len;
}

}  // namespace

Lh5MatchFinder::Lh5MatchFinder()
    : heads_short_(new std::uint32_t[1u << kHashBits]()),
      links_short_(new std::uint16_t[kCyclic]()),
      heads_long_(new std::uint32_t[1u << kHashBits]()),
      links_long_(new std::uint16_t[kCyclic]()) {}

void Lh5MatchFinder::Reset() {
  // A link is always written when its position is added, so only the heads matter.
  std::fill_n(heads_short_.get(), 1u << kHashBits, 0u);
  std::fill_n(heads_long_.get(), 1u << kHashBits, 0u);
  first_ = 0;
}

Lh5MatchFinder::Match Lh5MatchFinder::Insert(std::uint32_t pos, const std::uint8_t* bytes,
                                             int longer_than) {
  Match best;
  if (first_ == 0) first_ = pos;
  const std::uint32_t hash = HashShort(bytes);
  // The walk follows one chain at a time: entry d of the chain keyed at offset `skew`
  // stands for the candidate d - skew. Candidates are visited from the nearest back.
  int best_len = std::max(longer_than, kShortKey - 1);
  std::uint32_t best_pos = pos;  // only candidates older than this can still win
  std::uint32_t skew = 0;
  const std::uint16_t* links = links_short_.get();
  std::uint32_t d = heads_short_[hash];
  // With a floor of 3 or more, only a match longer than best_len counts, and it agrees
  // on the key that ends at index best_len. That key's chain lacks the candidates
  // less than `sharp_skew` back (their key starts at or after pos), so these come
  // first, from the chain of the first bytes; then the walk moves to the key's chain.
  const std::uint32_t sharp_skew = best_len >= kLongKey - 1
                                       ? static_cast<std::uint32_t>(best_len + 1 - kLongKey)
                                       : static_cast<std::uint32_t>(best_len + 1 - kShortKey);
  std::uint32_t reach = best_len >= kShortKey ? sharp_skew : kWindow;
  while (best_len < kMaxMatch) {  // else nothing can be longer
    std::uint32_t delta = kWindow + 1;
    if (d >= first_ + skew) delta = pos - (d - skew);  // else no entry, or before the first
    if (delta > reach) {
      if (reach == kWindow) break;
      reach = kWindow;
      SharpestChain(bytes, best_len, skew, links, d);
      continue;
    }
    const std::uint32_t candidate = d - skew;
    if (candidate < best_pos) {
      const std::uint8_t* other = bytes - delta;
      if (other[best_len] == bytes[best_len]) {
        const int len = CommonLength(other, bytes, kMaxMatch);
        if (len > best_len) {
          best_len = len;
          best_pos = candidate;
          if (len == kMaxMatch) break;
          reach = kWindow;
          SharpestChain(bytes, len, skew, links, d);
          if (d >= first_ + skew && d - skew >= best_pos) {
            // That chain would first lead through nearer positions (as inside long
            // runs, where it holds nearly every position): follow instead the chain
            // of the best match's own first bytes, from the best match on.
            skew = 0;
            links = len >= kLongKey ? links_long_.get() : links_short_.get();
            d = best_pos;
          }
          continue;
        }
      }
    }
    const std::uint16_t back = links[d & (kCyclic - 1)];
    d = back == 0 ? 0 : d - back;
  }
  if (best_pos != pos) {
    best.length = best_len;
    best.position = best_pos;
  }
  AddHashed(pos, bytes, hash);
  return best;
}

void Lh5MatchFinder::AddRun(std::uint32_t pos, const std::uint8_t* bytes, int count) {
  if (count <= 0) return;
  if (first_ == 0) first_ = pos;
  if constexpr (std::endian::native != std::endian::little) {
    for (int i = 0; i < count; ++i) Add(pos + static_cast<std::uint32_t>(i), bytes + i);
    return;
  }
  // Both keys come from one load.
  std::uint32_t* const heads_short = heads_short_.get();
  std::uint16_t* const links_short = links_short_.get();
  std::uint32_t* const heads_long = heads_long_.get();
  std::uint16_t* const links_long = links_long_.get();
  // Inside a run of one byte every position has the keys of the one before: its
  // links are 1, and the two heads are brought up to date once the run ends.
  std::uint64_t run_key = ~std::uint64_t{0};  // no 5-byte key is all ones above bit 40
  std::uint32_t run_short = 0;
  std::uint32_t run_long = 0;
  std::uint32_t run_end = 0;  // newest position of the run, 0 = heads up to date
  for (int i = 0; i < count; ++i) {
    const std::uint32_t at = pos + static_cast<std::uint32_t>(i);
    std::uint64_t v;
    std::memcpy(&v, bytes + i, 8);
    const std::uint64_t key = v & 0xFFFFFFFFFFull;
    if (key == run_key) {
      links_short[at & (kCyclic - 1)] = 1;
      links_long[at & (kCyclic - 1)] = 1;
      run_end = at;
      continue;
    }
    if (run_end != 0) {
      heads_short[run_short] = run_end;
      heads_long[run_long] = run_end;
      run_end = 0;
    }
    run_key = key;
    run_short = HashOfShortKey(static_cast<std::uint32_t>(key) & 0xFFFFFF);
    run_long = HashOfLongKey(key);
    Link(heads_short, links_short, run_short, at);
    Link(heads_long, links_long, run_long, at);
  }
  if (run_end != 0) {
    heads_short[run_short] = run_end;
    heads_long[run_long] = run_end;
  }
}

}  // namespace nolvo::codec
