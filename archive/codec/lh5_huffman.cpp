#include "archive/codec/lh5_huffman.h"

#include "archive/codec/lh5_table.h"

namespace nolvo::codec {
namespace {

struct Builder {
  int count;
  std::uint32_t* freq;
  int heap[kLh5SymbolCount + 1];                 // 1-based min-heap of symbols and nodes
  std::uint32_t heap_freq[kLh5SymbolCount + 1];  // freq[heap[i]], kept beside it
  int heap_size = 0;
  std::uint16_t left[kLh5TreeSize];
  std::uint16_t right[kLh5TreeSize];

  // The left child wins a tie between children, and the sifted entry stops above a
  // child of equal frequency.
  void SiftDown(int i) {
    const int k = heap[i];
    const std::uint32_t fk = heap_freq[i];
    int j;
    while ((j = 2 * i) <= heap_size) {
      if (j < heap_size && heap_freq[j] > heap_freq[j + 1]) ++j;
      if (fk <= heap_freq[j]) break;
      heap[i] = heap[j];
      heap_freq[i] = heap_freq[j];
      i = j;
    }
    heap[i] = k;
    heap_freq[i] = fk;
  }

  // Counts leaf depths below `root`, every depth above 16 as 16.
  void CountDepths(int root, std::uint32_t* depth_count) const {
    struct Item {
      int node;
      int depth;
    };
    Item stack[kLh5TreeSize];
    int top = 0;
    stack[top++] = {root, 0};
    while (top > 0) {
      const Item item = stack[--top];
      if (item.node < count) {
        ++depth_count[item.depth < kLh5MaxCodeLength ? item.depth : kLh5MaxCodeLength];
      } else {
        stack[top++] = {right[item.node], item.depth + 1};
        stack[top++] = {left[item.node], item.depth + 1};
      }
    }
  }
};

}  // namespace

int Lh5MakeCode(int count, std::uint32_t* freq, std::uint8_t* lengths, std::uint16_t* codes) {
  Builder b;
  b.count = count;
  b.freq = freq;
  b.heap[1] = 0;
  for (int i = 0; i < count; ++i) {
    lengths[i] = 0;
    if (freq[i] != 0) {
      b.heap[++b.heap_size] = i;
      b.heap_freq[b.heap_size] = freq[i];
    }
  }
  if (b.heap_size < 2) {
    codes[b.heap[1]] = 0;
    return b.heap[1];
  }
  for (int i = b.heap_size / 2; i >= 1; --i) b.SiftDown(i);

  // Join the two least frequent entries until one remains, noting leaves as taken.
  int order[kLh5SymbolCount];
  int taken = 0;
  int next_node = count;
  int root;
  do {
    const int i = b.heap[1];
    if (i < count) order[taken++] = i;
    b.heap[1] = b.heap[b.heap_size];
    b.heap_freq[1] = b.heap_freq[b.heap_size--];
    b.SiftDown(1);
    const int j = b.heap[1];
    if (j < count) order[taken++] = j;
    root = next_node++;
    freq[root] = freq[i] + freq[j];
    b.heap[1] = root;
    b.heap_freq[1] = freq[root];
    b.SiftDown(1);
    b.left[root] = static_cast<std::uint16_t>(i);
    b.right[root] = static_cast<std::uint16_t>(j);
  } while (b.heap_size > 1);

  std::uint32_t depth_count[kLh5MaxCodeLength + 1] = {};
  b.CountDepths(root, depth_count);
  // Limit the lengths to 16: each step removes one 16-bit code and moves a shorter
  // code one level down, lowering the weighted sum by exactly one.
  std::uint32_t sum = 0;
  for (int len = kLh5MaxCodeLength; len > 0; --len)
    sum += depth_count[len] << (kLh5MaxCodeLength - len);
  while (sum != (1u << kLh5MaxCodeLength)) {
    --depth_count[kLh5MaxCodeLength];
    for (int len = kLh5MaxCodeLength - 1; len > 0; --len) {
      if (depth_count[len] != 0) {
        --depth_count[len];
        depth_count[len + 1] += 2;
        break;
      }
    }
    --sum;
  }
  // The least frequent leaves, taken first, get the longest codes.
  int k = 0;
  for (int len = kLh5MaxCodeLength; len > 0; --len) {
    for (std::uint32_t n = depth_count[len]; n > 0; --n)
      lengths[order[k++]] = static_cast<std::uint8_t>(len);
  }
  Lh5AssignCodes(count, lengths, codes);
  return root;
}

}  // namespace nolvo::codec
