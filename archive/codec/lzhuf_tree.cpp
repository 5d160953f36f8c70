#include "archive/codec/lzhuf_tree.h"

namespace nolvo::codec {

void LzhufTree::Init() {
  for (int s = 0; s < kSymbols; ++s) {
    freq_[s] = 1;
    son_[s] = static_cast<std::uint16_t>(s + kNodes);
    parent_[s + kNodes] = static_cast<std::uint16_t>(s);
  }
  // Pair the nodes from the bottom: node j joins nodes i and i + 1.
  for (int i = 0, j = kSymbols; j <= kRoot; i += 2, ++j) {
    freq_[j] = static_cast<std::uint16_t>(freq_[i] + freq_[i + 1]);
    son_[j] = static_cast<std::uint16_t>(i);
    parent_[i] = parent_[i + 1] = static_cast<std::uint16_t>(j);
  }
  freq_[kNodes] = 0xFFFF;
  parent_[kRoot] = 0;
}

void LzhufTree::Update(int symbol) {
  if (freq_[kRoot] == kMaxFreq) Rebuild();
  int c = parent_[symbol + kNodes];
  // Node 0 always holds the least frequent leaf, so it is never a parent; the root's
  // parent is 0 and ends the walk after the root has been counted.
  do {
    const unsigned k = ++freq_[c];
    if (k > freq_[c + 1]) {
      // Move the node past every node of a lower count to keep the order.
      // l: the last node counted below k. Counts are sorted, so a long stretch of
      // equal counts (flat statistics) is crossed by galloping and halving.
      int l = c + 1;
      if (k > freq_[l + 1]) {
        int lo = l + 1;  // freq_[lo] < k
        int hi = lo + 1;
        for (int step = 1; hi < kNodes && k > freq_[hi]; step <<= 1) {
          lo = hi;
          hi = lo + step;
        }
        if (hi > kNodes) hi = kNodes;  // the sentinel is never below k
        while (hi - lo > 1) {
          const int mid = (lo + hi) / 2;
          if (k > freq_[mid]) {
            lo = mid;
          } else {
            hi = mid;
          }
        }
        l = lo;
      }
      freq_[c] = freq_[l];
      freq_[l] = static_cast<std::uint16_t>(k);

      const int i = son_[c];
      parent_[i] = static_cast<std::uint16_t>(l);
      if (i < kNodes) parent_[i + 1] = static_cast<std::uint16_t>(l);

      const int j = son_[l];
      son_[l] = static_cast<std::uint16_t>(i);
      parent_[j] = static_cast<std::uint16_t>(c);
      if (j < kNodes) parent_[j + 1] = static_cast<std::uint16_t>(c);
      son_[c] = static_cast<std::uint16_t>(j);

      c = l;
    }
    c = parent_[c];
  } while (c != 0);
}

void LzhufTree::Rebuild() {
  // Gather the leaves at the bottom, in their order, with halved counts.
  int j = 0;
  for (int i = 0; i < kNodes; ++i) {
    if (son_[i] >= kNodes) {
      freq_[j] = static_cast<std::uint16_t>((freq_[i] + 1) / 2);
      son_[j] = son_[i];
      ++j;
    }
  }
  // Join pairs from the bottom and insert each new node where its count belongs.
  for (int i = 0, n = kSymbols; n < kNodes; i += 2, ++n) {
    const unsigned f = static_cast<unsigned>(freq_[i]) + freq_[i + 1];
    int k = n - 1;
    while (f < freq_[k]) --k;
    ++k;
    for (int m = n; m > k; --m) {
      freq_[m] = freq_[m - 1];
      son_[m] = son_[m - 1];
    }
    freq_[k] = static_cast<std::uint16_t>(f);
    son_[k] = static_cast<std::uint16_t>(i);
  }
  for (int i = 0; i < kNodes; ++i) {
    const int k = son_[i];
    parent_[k] = static_cast<std::uint16_t>(i);
    if (k < kNodes) parent_[k + 1] = static_cast<std::uint16_t>(i);
  }
}

}  // namespace nolvo::codec
