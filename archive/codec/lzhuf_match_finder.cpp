#include "archive/codec/lzhuf_match_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace nolvo::codec {

// Tree links by slot; the nodes above the trees follow the slots (kWindow + 1 + tree).
struct LzhufMatchFinder::Links {
  std::uint16_t left[kWindow + 1];
  std::uint16_t right[kWindow + 1 + kTrees];
  std::uint16_t parent[kWindow + 1];  // kNil: the slot is not held
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

int LzhufMatchFinder::CommonLength(int a, int b, int from) const {
  const std::uint8_t* x = text_ + a;
  const std::uint8_t* y = text_ + b;
  for (int i = from; i < kMaxMatch; i += 8) {
    const std::uint64_t d = Load64(x + i) ^ Load64(y + i);
    if (d != 0) return std::min(kMaxMatch, i + FirstDifference(d));
  }
  return kMaxMatch;
}

LzhufMatchFinder::LzhufMatchFinder(const std::uint8_t* text) : text_(text), a_(new Links) {
  std::fill(std::begin(a_->left), std::end(a_->left), kNil);
  std::fill(std::begin(a_->right), std::end(a_->right), kNil);
  std::fill(std::begin(a_->parent), std::end(a_->parent), kNil);
}

LzhufMatchFinder::~LzhufMatchFinder() = default;

LzhufMatchFinder::Match LzhufMatchFinder::Insert(int r) {
  auto& a = *a_;
  if (a.parent[r] != kNil) Remove(r);
  const std::uint8_t* key = text_ + r;
  int p = TreeRoot(r);
  int cmp = 1;
  Match best;
  a.left[r] = a.right[r] = kNil;
  for (;;) {
    std::uint16_t& next = cmp >= 0 ? a.right[p] : a.left[p];
    if (next == kNil) {
      next = static_cast<std::uint16_t>(r);
      a.parent[r] = static_cast<std::uint16_t>(p);
      return best;
    }
    p = next;
    // Strings in one tree share their first byte.
    const int i = CommonLength(r, p, 1);
    if (i >= kMinMatch) {
      const int position = ((r - p) & (kWindow - 1)) - 1;
      if (i > best.length || (i == best.length && position < best.position)) {
        best.length = i;
        best.position = position;
      }
      if (i == kMaxMatch) break;
    }
    cmp = key[i] - text_[p + i];
  }
  // An equal string: the new slot takes the old one's place.
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
  return best;
}

void LzhufMatchFinder::Remove(int p) {
  auto& a = *a_;
  if (a.parent[p] == kNil) return;
  int q;
  if (a.right[p] == kNil) {
    q = a.left[p];
  } else if (a.left[p] == kNil) {
    q = a.right[p];
  } else {
    // Two children: the predecessor (the rightmost of the left subtree) takes the
    // node's place.
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

}  // namespace nolvo::codec
