#pragma once
// The adaptive Huffman tree of the LZHUF method, shared by its decoder and encoder.
// Literals 0..255 and match lengths 3..60 (symbols 256..313) are leaves of one tree
// whose nodes stay ordered by frequency; every coded symbol bumps its path to the
// root, and the whole tree is rebuilt with halved counts when the root reaches
// 0x8000.

#include <array>
#include <cstdint>

namespace nolvo::codec {

class LzhufTree {
 public:
  static constexpr int kSymbols = 314;             // 256 literals + 58 match lengths
  static constexpr int kNodes = 2 * kSymbols - 1;  // 627
  static constexpr int kRoot = kNodes - 1;         // 626
  static constexpr std::uint16_t kMaxFreq = 0x8000;

  // Builds the initial tree: every symbol with frequency 1.
  LzhufTree() { Init(); }

  void Init();

  // Counts one more occurrence of `symbol` (0..313), rebuilding first when the root
  // frequency has reached 0x8000.
  void Update(int symbol);

  // Halves all leaf frequencies and rebuilds the internal nodes in frequency order.
  void Rebuild();

  // Node access for the coders: son(n) >= kNodes marks a leaf of symbol son(n) - kNodes,
  // otherwise the children are son(n) and son(n) + 1. leaf(s) is the node of symbol s.
  int son(int node) const { return son_[node]; }
  int parent(int node) const { return parent_[node]; }
  int leaf(int symbol) const { return parent_[symbol + kNodes]; }
  std::uint16_t freq(int node) const { return freq_[node]; }
  // The son table itself, for the decoder's inner loop.
  const std::uint16_t* sons() const { return son_.data(); }

 private:
  // freq_[kNodes] is a 0xFFFF sentinel that ends the upward search in Update.
  std::array<std::uint16_t, kNodes + 1> freq_{};
  std::array<std::uint16_t, kNodes> son_{};
  // parent_[0..626] are node parents; parent_[627 + s] is the leaf node of symbol s.
  std::array<std::uint16_t, kNodes + kSymbols> parent_{};
};

}  // namespace nolvo::codec
