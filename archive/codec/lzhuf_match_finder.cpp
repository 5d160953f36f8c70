#include "archive/codec/lzhuf_match_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace nolvo::codec {

struct LzhufMatchFinder::Arrays {
  // Tree links by window slot; the roots follow the slots (kWindow + 1 + tree).
  std::uint16_t left[kWindow + 1];
  std::uint16_t right[kWindow + 1 + kTrees];
  std::uint16_t parent[kWindow + 1];
  std::int64_t held[kWindow];               // position a slot holds in its tree, or -1
  // Chains by the first 3 and by the first 8 bytes: the newest position of each hash
  // (or -1), and per slot the next older position of its hash.
  std::int64_t head3[std::size_t{1} << kHashBits];
  std::int64_t prev3[kWindow];
  std::int64_t head8[std::size_t{1} << kHashBits];
  std::int64_t prev8[kWindow];
};

namespace {

std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Index of the first differing byte of two 8-byte loads that differ.
int FirstDifference(std::uint64_t x) {
  if constexpr (std::endian::native == std::endian::little) {
    return std::countr_zero(x) >> 3;
  } else {
    return std::countl_zero(x) >> 3;
  }
}

}  // namespace

unsigned LzhufMatchFinder::Hash8(int slot) const {
  return static_cast<unsigned>((Load64(text_ + slot) * 0x9E3779B97F4A7C15ull) >> (64 - kHashBits));
}

int LzhufMatchFinder::CommonLength(int a, int b, int from, int limit) const {
  const std::uint8_t* x = text_ + a;
  const std::uint8_t* y = text_ + b;
  for (int i = from; i < limit; i += 8) {
    const std::uint64_t d = Load64(x + i) ^ Load64(y + i);
    if (d != 0) return std::min(limit, i + FirstDifference(d));
  }
  return limit;
}

std::int64_t LzhufMatchFinder::Nearest(const std::int64_t* head, const std::int64_t* prev, unsigned h,
                                       std::int64_t pos, int length, std::int64_t seen) const {
  const int slot = static_cast<int>(pos & (kWindow - 1));
  const std::int64_t oldest = std::max(low_, pos - (kWindow - 1));
  for (std::int64_t cand = head[h]; cand > seen && cand >= oldest; cand = prev[cand & (kWindow - 1)]) {
    const int c = static_cast<int>(cand & (kWindow - 1));
    if (text_[c + length - 1] == text_[slot + length - 1] && CommonLength(c, slot, 0, length) == length) {
      return cand;
    }
  }
  return seen;
}

LzhufMatchFinder::LzhufMatchFinder(const std::uint8_t* text) : text_(text), a_(new Arrays) {
  std::fill(std::begin(a_->left), std::end(a_->left), kNil);
  std::fill(std::begin(a_->right), std::end(a_->right), kNil);
  std::fill(std::begin(a_->parent), std::end(a_->parent), kNil);
  std::fill(std::begin(a_->held), std::end(a_->held), -1);
  std::fill(std::begin(a_->head3), std::end(a_->head3), -1);
  std::fill(std::begin(a_->prev3), std::end(a_->prev3), -1);
  std::fill(std::begin(a_->head8), std::end(a_->head8), -1);
  std::fill(std::begin(a_->prev8), std::end(a_->prev8), -1);
}

LzhufMatchFinder::~LzhufMatchFinder() = default;

int LzhufMatchFinder::TreeInsert(int r, std::int64_t& seen) {
  auto& a = *a_;
  const std::uint8_t* key = text_ + r;
  int p = TreeRoot(r);
  int cmp = 1;
  int best = 0;
  a.left[r] = a.right[r] = kNil;
  for (;;) {
    if (cmp >= 0) {
      if (a.right[p] == kNil) {
        a.right[p] = static_cast<std::uint16_t>(r);
        a.parent[r] = static_cast<std::uint16_t>(p);
        return best;
      }
      p = a.right[p];
    } else {
      if (a.left[p] == kNil) {
        a.left[p] = static_cast<std::uint16_t>(r);
        a.parent[r] = static_cast<std::uint16_t>(p);
        return best;
      }
      p = a.left[p];
    }
    // Strings in one tree share their first byte.
    const int i = CommonLength(r, p, 1, kMaxMatch);
    cmp = i < kMaxMatch ? key[i] - text_[p + i] : 0;
    if (i > best || (i == best && a.held[p] > seen)) {
      best = i;
      seen = a.held[p];
      if (i >= kMaxMatch) break;
    }
  }
  // An equal string: the new position takes the old one's place.
  a.parent[r] = a.parent[p];
  a.left[r] = a.left[p];
  a.right[r] = a.right[p];
  a.parent[a.left[p]] = static_cast<std::uint16_t>(r);
  a.parent[a.right[p]] = static_cast<std::uint16_t>(r);
  if (a.right[a.parent[p]] == p) {
    a.right[a.parent[p]] = static_cast<std::uint16_t>(r);
  } else {
    a.left[a.parent[p]] = static_cast<std::uint16_t>(r);
  }
  a.parent[p] = kNil;
  a.held[p] = -1;
  return best;
}

void LzhufMatchFinder::TreeDelete(int p) {
  auto& a = *a_;
  if (a.parent[p] == kNil) return;
  int q;
  if (a.right[p] == kNil) {
    q = a.left[p];
  } else if (a.left[p] == kNil) {
    q = a.right[p];
  } else {
    // Two children: the predecessor takes the node's place.
    q = a.left[p];
    if (a.right[q] != kNil) {
      do q = a.right[q];
      while (a.right[q] != kNil);
      a.right[a.parent[q]] = a.left[q];
      a.parent[a.left[q]] = a.parent[q];
      a.left[q] = a.left[p];
      a.parent[a.left[p]] = static_cast<std::uint16_t>(q);
    }
    a.right[q] = a.right[p];
    a.parent[a.right[p]] = static_cast<std::uint16_t>(q);
  }
  a.parent[q] = a.parent[p];
  if (a.right[a.parent[p]] == p) {
    a.right[a.parent[p]] = static_cast<std::uint16_t>(q);
  } else {
    a.left[a.parent[p]] = static_cast<std::uint16_t>(q);
  }
  a.parent[p] = kNil;
}

void LzhufMatchFinder::Remove(std::int64_t pos) {
  if (pos < low_) return;
  auto& a = *a_;
  // Positions leave oldest first, so everything from low_ up to pos goes.
  for (std::int64_t p = std::max(low_, pos - (kWindow - 1)); p <= pos; ++p) {
    const int slot = static_cast<int>(p & (kWindow - 1));
    if (a.held[slot] == p) {
      TreeDelete(slot);
      a.held[slot] = -1;
    }
  }
  low_ = pos + 1;
}

LzhufMatchFinder::Match LzhufMatchFinder::Insert(std::int64_t pos) {
  auto& a = *a_;
  const int slot = static_cast<int>(pos & (kWindow - 1));
  if (a.held[slot] >= 0) {
    // The slot's previous position is more than a window old: let it go first.
    TreeDelete(slot);
  }
  std::int64_t seen = -1;
  const int longest = TreeInsert(slot, seen);
  a.held[slot] = pos;

  Match best;
  const unsigned h3 = Hash3(slot);
  const unsigned h8 = Hash8(slot);
  if (longest >= kMinMatch) {
    // The nearest position that reaches the longest length; positions agreeing in 8
    // bytes or more are all on the chain of their 8-byte hash.
    const std::int64_t at = longest >= 8 ? Nearest(a.head8, a.prev8, h8, pos, longest, seen)
                                         : Nearest(a.head3, a.prev3, h3, pos, longest, seen);
    best.length = longest;
    best.position = static_cast<int>(pos - at - 1);
  }
  a.prev3[slot] = a.head3[h3];
  a.head3[h3] = pos;
  a.prev8[slot] = a.head8[h8];
  a.head8[h8] = pos;
  return best;
}

}  // namespace nolvo::codec
