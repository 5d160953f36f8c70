#include "archive/codec/lh5.h"

#include <cstring>
#include <memory>

#include "archive/codec/codec_errors.h"
#include "archive/codec/lh5_bit_reader.h"
#include "archive/codec/lh5_table.h"

namespace nolvo::codec {
namespace {

constexpr int kDictBits = 13;
constexpr std::uint32_t kDictSize = 1u << kDictBits;
constexpr std::uint32_t kDictMask = kDictSize - 1;
constexpr int kCodeLengthCount = 19;  // code-length code alphabet
constexpr int kDistanceCount = 14;    // distance code alphabet
constexpr int kSymbolTableBits = 12;
constexpr int kAuxTableBits = 8;
// A table entry that stands for a single-symbol code naming no symbol of its alphabet.
constexpr std::uint16_t kBadEntry = 0xFFFF;

// Everything one entry's decoding needs; allocated per entry.
class Lh5Decoder {
 public:
  Lh5Decoder(CodecContext& context, const Lh5TokenObserver* observer)
      : context_(context), observer_(observer), bits_(context) {}

  void Run(std::int32_t original_size);

 private:
  void ReadBlockHeader();
  void ReadAuxLengths(int count, int width, int special);
  void ReadSymbolLengths();
  int WalkTree(int node, int count, std::uint32_t bits, int available);
  int DecodeSymbol();
  std::uint32_t DecodeDistance();
  void CheckOverrun() const {
    if (bits_.Overrun()) CodecContext::RaiseTruncated();
  }
  // A header read from padding past the data is reported as truncated, not as bad.
  [[noreturn]] void RaiseBadTable() const {
    CheckOverrun();
    throw ELZHBadDecodeTable();
  }

  CodecContext& context_;
  const Lh5TokenObserver* observer_;
  Lh5BitReader bits_;
  std::uint16_t block_left_ = 0;

  std::uint8_t symbol_lengths_[kLh5SymbolCount] = {};
  std::uint16_t symbol_table_[1u << kSymbolTableBits] = {};
  // Shared by the code-length code and then the distance code of each block.
  std::uint8_t aux_lengths_[128] = {};
  std::uint16_t aux_table_[1u << kAuxTableBits] = {};
  std::uint16_t left_[kLh5TreeSize] = {};
  std::uint16_t right_[kLh5TreeSize] = {};

  std::uint8_t dict_[kDictSize];
};

// Follows tree links from `node` with the top bits of `bits` (a 16-bit view, of which
// `available` bits are still unused by the table lookup) until a symbol appears. A
// complete code always reaches one within those bits; the bound guards the rest.
int Lh5Decoder::WalkTree(int node, int count, std::uint32_t bits, int available) {
  if (node == kBadEntry) RaiseBadTable();
  std::uint32_t mask = 1u << (available - 1);
  while (node >= count) {
    if (mask == 0 || node >= kLh5TreeSize) RaiseBadTable();
    node = (bits & mask) ? right_[node] : left_[node];
    mask >>= 1;
  }
  return node;
}

void Lh5Decoder::ReadAuxLengths(int count, int width, int special) {
  const int n = static_cast<int>(bits_.Read(width));
  if (n == 0) {
    const auto c = static_cast<std::uint16_t>(bits_.Read(width));
    std::memset(aux_lengths_, 0, sizeof aux_lengths_);
    for (auto& entry : aux_table_) entry = c < count ? c : kBadEntry;
    return;
  }
  int i = 0;
  while (i < n) {
    int c = static_cast<int>(bits_.Peek(3));
    if (c == 7) {
      // Unary extension: one more for each 1-bit from bit 12 of the view downward.
      std::uint32_t mask = 1u << 12;
      const std::uint32_t window = bits_.Window();
      while (mask != 0 && (window & mask) != 0) {
        ++c;
        mask >>= 1;
      }
    }
    bits_.Skip(c < 7 ? 3 : c - 3);
    aux_lengths_[i++] = static_cast<std::uint8_t>(c);
    if (i == special) {
      int zeros = static_cast<int>(bits_.Read(2));
      while (zeros-- > 0) aux_lengths_[i++] = 0;
    }
  }
  // Lengths past the alphabet are read and ignored.
  for (; i < count; ++i) aux_lengths_[i] = 0;
  Lh5BuildTable(count, aux_lengths_, kAuxTableBits, aux_table_, left_, right_);
}

void Lh5Decoder::ReadSymbolLengths() {
  const int n = static_cast<int>(bits_.Read(9));
  if (n == 0) {
    const auto c = static_cast<std::uint16_t>(bits_.Read(9));
    std::memset(symbol_lengths_, 0, sizeof symbol_lengths_);
    for (auto& entry : symbol_table_) entry = c < kLh5SymbolCount ? c : kBadEntry;
    return;
  }
  int i = 0;
  while (i < n) {
    int c = aux_table_[bits_.Peek(kAuxTableBits)];
    if (c >= kCodeLengthCount) c = WalkTree(c, kCodeLengthCount, bits_.Window(), 16 - kAuxTableBits);
    bits_.Skip(aux_lengths_[c]);
    int zeros = 0;
    if (c == 0) {
      zeros = 1;
    } else if (c == 1) {
      zeros = static_cast<int>(bits_.Read(4)) + 3;
    } else if (c == 2) {
      zeros = static_cast<int>(bits_.Read(9)) + 20;
    } else {
      if (i >= kLh5SymbolCount) RaiseBadTable();
      symbol_lengths_[i++] = static_cast<std::uint8_t>(c - 2);
      continue;
    }
    // A zero run may not reach past the alphabet.
    if (zeros > kLh5SymbolCount - i) RaiseBadTable();
    std::memset(symbol_lengths_ + i, 0, static_cast<std::size_t>(zeros));
    i += zeros;
  }
  if (i < kLh5SymbolCount) std::memset(symbol_lengths_ + i, 0, static_cast<std::size_t>(kLh5SymbolCount - i));
  Lh5BuildTable(kLh5SymbolCount, symbol_lengths_, kSymbolTableBits, symbol_table_, left_, right_);
}

void Lh5Decoder::ReadBlockHeader() {
  block_left_ = static_cast<std::uint16_t>(bits_.Read(16));
  try {
    ReadAuxLengths(kCodeLengthCount, 5, 3);
    ReadSymbolLengths();
    ReadAuxLengths(kDistanceCount, 4, -1);
  } catch (const ELZHBadDecodeTable&) {
    RaiseBadTable();
  }
  CheckOverrun();
  if (observer_ != nullptr) (*observer_)(-1, block_left_);
}

int Lh5Decoder::DecodeSymbol() {
  if (block_left_ == 0) ReadBlockHeader();
  --block_left_;
  int j = symbol_table_[bits_.Peek(kSymbolTableBits)];
  if (j < kLh5SymbolCount) {
    bits_.Skip(symbol_lengths_[j]);
    return j;
  }
  j = WalkTree(j, kLh5SymbolCount, bits_.Window(), 16 - kSymbolTableBits);
  bits_.Skip(symbol_lengths_[j]);
  return j;
}

std::uint32_t Lh5Decoder::DecodeDistance() {
  int j = aux_table_[bits_.Peek(kAuxTableBits)];
  if (j >= kDistanceCount) j = WalkTree(j, kDistanceCount, bits_.Window(), 16 - kAuxTableBits);
  bits_.Skip(aux_lengths_[j]);
  if (j <= 1) return static_cast<std::uint32_t>(j);
  return (1u << (j - 1)) + bits_.Read(j - 1);
}

void Lh5Decoder::Run(std::int32_t original_size) {
  bits_.Start();
  std::memset(dict_, 0x20, sizeof dict_);
  std::uint32_t pos = 0;
  std::int64_t produced = 0;
  while (produced < original_size) {
    const int c = DecodeSymbol();
    if (c < 256) {
      CheckOverrun();
      if (observer_ != nullptr) (*observer_)(c, 0);
      const auto b = static_cast<std::uint8_t>(c);
      dict_[pos] = b;
      context_.WriteDestByte(b);
      pos = (pos + 1) & kDictMask;
      ++produced;
      continue;
    }
    const std::uint32_t length = static_cast<std::uint32_t>(c) - 253;
    const std::uint32_t distance = DecodeDistance();
    CheckOverrun();
    if (observer_ != nullptr) (*observer_)(c, distance);
    std::uint32_t src = (pos - distance - 1) & kDictMask;
    produced += length;
    if (distance + 1 >= length && src + length <= kDictSize && pos + length <= kDictSize) {
      // No wrap, and the source is not overtaken by what is written: one block move
      // (the source may lie just ahead of the destination, one lap back).
      std::memmove(dict_ + pos, dict_ + src, length);
      context_.WriteDestBytes(dict_ + pos, length);
      pos = (pos + length) & kDictMask;
      continue;
    }
    for (std::uint32_t k = 0; k < length; ++k) {
      const std::uint8_t b = dict_[src];
      dict_[pos] = b;
      context_.WriteDestByte(b);
      src = (src + 1) & kDictMask;
      pos = (pos + 1) & kDictMask;
    }
  }
}

}  // namespace

void Lh5Expand(CodecContext& context, std::int32_t original_size) {
  if (original_size <= 0) return;
  // The decoder's memory lives for this entry only.
  auto decoder = std::make_unique<Lh5Decoder>(context, nullptr);
  decoder->Run(original_size);
}

void Lh5ExpandObserved(CodecContext& context, std::int32_t original_size,
                       const Lh5TokenObserver& observer) {
  if (original_size <= 0) return;
  auto decoder = std::make_unique<Lh5Decoder>(context, &observer);
  decoder->Run(original_size);
}

}  // namespace nolvo::codec
