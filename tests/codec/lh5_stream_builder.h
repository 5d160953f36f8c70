#pragma once
// Builds raw -lh5- streams by hand for decoder tests: explicit code lengths written
// without run compression, then literal and match tokens.

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "archive/codec/lh5_table.h"

namespace nolvo::codec::test {

class BitString {
 public:
  void Put(int n, std::uint32_t value) {
    for (int i = n - 1; i >= 0; --i) {
      if (bit_count_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (bit_count_ % 8));
      ++bit_count_;
    }
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::size_t BitCount() const { return bit_count_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t bit_count_ = 0;
};

// One block with the given symbol lengths (510) and distance lengths (14). An empty
// distance list writes the single-distance form for distance code `single_distance`.
class Lh5BlockBuilder {
 public:
  Lh5BlockBuilder(BitString& out, std::uint16_t block_size,
                  std::vector<std::uint8_t> symbol_lengths,
                  std::vector<std::uint8_t> distance_lengths, int single_distance = 0)
      : out_(out),
        symbol_lengths_(std::move(symbol_lengths)),
        distance_lengths_(std::move(distance_lengths)) {
    symbol_lengths_.resize(kLh5SymbolCount);
    symbol_codes_.resize(kLh5SymbolCount);
    Lh5AssignCodes(kLh5SymbolCount, symbol_lengths_.data(), symbol_codes_.data());
    out_.Put(16, block_size);
    WriteCodeLengths();
    if (distance_lengths_.empty()) {
      out_.Put(4, 0);
      out_.Put(4, static_cast<std::uint32_t>(single_distance));
    } else {
      distance_lengths_.resize(14);
      distance_codes_.resize(14);
      Lh5AssignCodes(14, distance_lengths_.data(), distance_codes_.data());
      WriteAux(distance_lengths_, 4, -1);
    }
  }

  void Literal(int c) { out_.Put(symbol_lengths_[c], symbol_codes_[c]); }
  void Match(int length, std::uint32_t distance) {
    const int s = length + 253;
    out_.Put(symbol_lengths_[s], symbol_codes_[s]);
    int b = 0;
    for (std::uint32_t v = distance; v != 0; v >>= 1) ++b;
    if (!distance_lengths_.empty()) out_.Put(distance_lengths_[b], distance_codes_[b]);
    if (b > 1) out_.Put(b - 1, distance & ((1u << (b - 1)) - 1));
  }

  // Writes aux lengths as the format does (3 bits, or unary from 7), no zero skip.
  void WriteAux(const std::vector<std::uint8_t>& lengths, int width, int special) {
    out_.Put(width, static_cast<std::uint32_t>(lengths.size()));
    for (std::size_t i = 0; i < lengths.size();) {
      const int k = lengths[i++];
      if (k <= 6) {
        out_.Put(3, static_cast<std::uint32_t>(k));
      } else {
        out_.Put(k - 3, (1u << (k - 3)) - 2);
      }
      if (static_cast<int>(i) == special) out_.Put(2, 0);
    }
  }

 private:
  // A code-length code over exactly the code-length symbols needed, then the lengths.
  void WriteCodeLengths() {
    bool used[19] = {};
    bool all_zero = true;
    for (auto len : symbol_lengths_) {
      used[len == 0 ? 0 : len + 2] = true;
      if (len != 0) all_zero = false;
    }
    if (all_zero) throw std::logic_error("use the single-symbol form");
    std::vector<int> symbols;
    for (int c = 0; c < 19; ++c)
      if (used[c]) symbols.push_back(c);
    std::vector<std::uint8_t> cl(19, 0);
    if (symbols.size() == 1) {
      out_.Put(5, 0);
      out_.Put(5, static_cast<std::uint32_t>(symbols[0]));
    } else {
      for (std::size_t i = 0; i < symbols.size(); ++i)
        cl[symbols[i]] = static_cast<std::uint8_t>(std::min(i + 1, symbols.size() - 1));
      std::vector<std::uint8_t> trimmed(cl.begin(), cl.begin() + symbols.back() + 1);
      WriteAux(trimmed, 5, 3);
    }
    std::vector<std::uint16_t> codes(19);
    Lh5AssignCodes(19, cl.data(), codes.data());
    out_.Put(9, kLh5SymbolCount);
    for (auto len : symbol_lengths_) {
      const int c = len == 0 ? 0 : len + 2;
      out_.Put(cl[c], codes[c]);
    }
  }

  BitString& out_;
  std::vector<std::uint8_t> symbol_lengths_;
  std::vector<std::uint16_t> symbol_codes_;
  std::vector<std::uint8_t> distance_lengths_;
  std::vector<std::uint16_t> distance_codes_;
};

// Lengths for a complete code over all 510 symbols: two of 8 bits, the rest 9 bits.
inline std::vector<std::uint8_t> FlatSymbolLengths() {
  std::vector<std::uint8_t> lengths(kLh5SymbolCount, 9);
  lengths[0] = lengths[1] = 8;
  return lengths;
}

// Lengths for a complete code over all 14 distance codes: two of 3 bits, twelve of 4.
inline std::vector<std::uint8_t> FlatDistanceLengths() {
  std::vector<std::uint8_t> lengths(14, 4);
  lengths[0] = lengths[1] = 3;
  return lengths;
}

// Writes the single-symbol header forms (code-length code, symbol code, distance code).
inline void SingleSymbolBlock(BitString& out, std::uint16_t block_size, int symbol,
                              int distance_code) {
  out.Put(16, block_size);
  out.Put(5, 0);
  out.Put(5, 0);
  out.Put(9, 0);
  out.Put(9, static_cast<std::uint32_t>(symbol));
  out.Put(4, 0);
  out.Put(4, static_cast<std::uint32_t>(distance_code));
}

}  // namespace nolvo::codec::test
