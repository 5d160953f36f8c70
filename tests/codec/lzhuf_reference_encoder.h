#pragma once
// A plain model of the LZHUF encoder, for tests: the window, the binary search trees
// of its positions and the token loop written out step by step, with the adaptive
// code of the shared tree. Also reads the tokens back out of a stream.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "archive/codec/lzhuf_position_code.h"
#include "archive/codec/lzhuf_tree.h"

namespace nolvo::codec::test {

struct LzhufToken {
  int symbol;    // 0..255 a literal; 256..313 a match of symbol - 253 bytes
  int position;  // a match's position value (0 is the byte just before)
  bool operator==(const LzhufToken&) const = default;
};

// Binary search trees of window slots, each keyed by the 60 bytes from its slot on.
// Node 4096 + t heads tree t; the tree hangs off its right link.
class LzhufReferenceTrees {
 public:
  struct Match {
    int length = 0;  // 0 below 3
    int position = 0;
  };

  // `window` holds 4096 + 59 bytes and stays valid.
  explicit LzhufReferenceTrees(const std::uint8_t* window)
      : w_(window), left_(kNodes, kNone), right_(kNodes, kNone), parent_(kNodes, kNone) {}

  // Walks the slot's tree down to a free link and hangs the slot there. The answer is
  // the longest common start met on the way and, among equal ones, the smallest
  // position value. A string equal in all 60 bytes gives its place to the new slot.
  Match Insert(int r) {
    const unsigned h = w_[r + 1] ^ w_[r + 2];
    int node = 4096 + w_[r] + 256 * static_cast<int>((h ^ (h >> 4)) & 15);
    bool right = true;
    Match best;
    left_[r] = right_[r] = kNone;
    for (;;) {
      int& next = right ? right_[node] : left_[node];
      if (next == kNone) {
        next = r;
        parent_[r] = node;
        return best;
      }
      node = next;
      int i = 0;
      while (i < 60 && w_[r + i] == w_[node + i]) ++i;
      const int position = ((r - node) & 4095) - 1;
      if (i >= 3 && (i > best.length || (i == best.length && position < best.position)))
        best = {i, position};
      if (i == 60) {
        Replace(node, r);
        left_[r] = left_[node];
        right_[r] = right_[node];
        SetParent(left_[r], r);
        SetParent(right_[r], r);
        return best;
      }
      right = w_[r + i] > w_[node + i];
    }
  }

  // Takes a slot out of its tree; its in-order predecessor takes its place when it
  // has two children.
  void Remove(int p) {
    if (parent_[p] == kNone) return;
    int q = left_[p] == kNone ? right_[p] : right_[p] == kNone ? left_[p] : kNone;
    if (q == kNone && left_[p] != kNone) {
      q = left_[p];
      while (right_[q] != kNone) q = right_[q];
      if (q != left_[p]) {
        right_[parent_[q]] = left_[q];
        SetParent(left_[q], parent_[q]);
        left_[q] = left_[p];
        SetParent(left_[q], q);
      }
      right_[q] = right_[p];
      SetParent(right_[q], q);
    }
    Replace(p, q);
  }

 private:
  static constexpr int kNone = -1;
  static constexpr int kNodes = 4096 + 4096;

  void SetParent(int child, int node) {
    if (child != kNone) parent_[child] = node;
  }
  // Puts `now` (or nothing) where `old` hangs, and takes `old` out.
  void Replace(int old, int now) {
    const int up = parent_[old];
    (right_[up] == old ? right_[up] : left_[up]) = now;
    SetParent(now, up);
    parent_[old] = kNone;
  }

  const std::uint8_t* w_;
  std::vector<int> left_;
  std::vector<int> right_;
  std::vector<int> parent_;
};

struct LzhufReference {
  std::vector<LzhufToken> tokens;
  std::vector<std::uint8_t> stream;
};

inline LzhufReference LzhufReferenceEncode(const std::vector<std::uint8_t>& in) {
  LzhufReference out;
  std::vector<std::uint8_t> window(4096 + 59, 0x20);
  std::size_t next = 0;  // next input byte
  int len = 0;
  while (len < 60 && next < in.size()) window[static_cast<std::size_t>(4036 + len++)] = in[next++];
  if (len == 0) return out;
  LzhufReferenceTrees trees(window.data());
  for (int p = 4035; p >= 3976; --p) trees.Insert(p);
  int r = 4036;
  int s = 0;
  LzhufReferenceTrees::Match match = trees.Insert(r);

  LzhufTree code;
  std::vector<std::uint8_t> bits;
  auto put_symbol = [&](int symbol) {
    std::vector<std::uint8_t> path;
    for (int n = code.leaf(symbol); n != LzhufTree::kRoot; n = code.parent(n))
      path.push_back(static_cast<std::uint8_t>(n & 1));
    bits.insert(bits.end(), path.rbegin(), path.rend());
    code.Update(symbol);
  };
  auto put_bits = [&](unsigned v, int n) {
    for (int i = n - 1; i >= 0; --i) bits.push_back((v >> i) & 1);
  };
  while (len > 0) {
    int length = std::min(match.length, len);
    if (length <= 2) {
      length = 1;
      out.tokens.push_back({window[static_cast<std::size_t>(r)], 0});
      put_symbol(window[static_cast<std::size_t>(r)]);
    } else {
      out.tokens.push_back({length + 253, match.position});
      put_symbol(length + 253);
      const int u = match.position >> 6;
      const int code_length = LzhufPositionCodeLength(u);
      put_bits(kLzhufPositionTables.code[static_cast<std::size_t>(u)] >> (8 - code_length),
               code_length);
      put_bits(static_cast<unsigned>(match.position & 63), 6);
    }
    for (int i = 0; i < length; ++i) {
      trees.Remove(s);
      const bool arrived = next < in.size();
      if (arrived) {
        window[static_cast<std::size_t>(s)] = in[next++];
        if (s < 59)
          window[static_cast<std::size_t>(s + 4096)] = window[static_cast<std::size_t>(s)];
      }
      s = (s + 1) & 4095;
      r = (r + 1) & 4095;
      if (arrived || --len > 0) match = trees.Insert(r);
    }
  }
  out.stream.resize((bits.size() + 7) / 8);
  for (std::size_t i = 0; i < bits.size(); ++i)
    out.stream[i / 8] = static_cast<std::uint8_t>(out.stream[i / 8] | bits[i] << (7 - i % 8));
  return out;
}

// The tokens of a stream, read until they cover `original_size` bytes.
inline std::vector<LzhufToken> LzhufTokensOf(const std::vector<std::uint8_t>& stream,
                                             std::size_t original_size) {
  LzhufTree code;
  std::size_t bit = 0;
  auto next = [&] {
    const int b = bit / 8 < stream.size() ? (stream[bit / 8] >> (7 - bit % 8)) & 1 : 0;
    ++bit;
    return b;
  };
  std::vector<LzhufToken> tokens;
  for (std::size_t produced = 0; produced < original_size;) {
    int c = code.son(LzhufTree::kRoot);
    while (c < LzhufTree::kNodes) c = code.son(c + next());
    c -= LzhufTree::kNodes;
    code.Update(c);
    if (c < 256) {
      tokens.push_back({c, 0});
      ++produced;
      continue;
    }
    unsigned v = 0;
    for (int i = 0; i < 8; ++i) v = v << 1 | static_cast<unsigned>(next());
    const int u = kLzhufPositionTables.upper[v];
    const int code_length = kLzhufPositionTables.length[v];
    for (int i = 2; i < code_length; ++i) v = v << 1 | static_cast<unsigned>(next());
    tokens.push_back({c, u << 6 | static_cast<int>(v & 63)});
    produced += static_cast<std::size_t>(c - 253);
  }
  return tokens;
}

}  // namespace nolvo::codec::test
