#include <cstring>
#include <memory>

#include "archive/codec/codec_errors.h"
#include "archive/codec/lh5.h"
#include "archive/codec/lh5_bit_reader.h"
#include "archive/codec/lh5_table.h"

namespace nolvo::codec {
namespace {

constexpr std::uint32_t kDictSize = 8192;
// The window holds the 8192 bytes of history before the write position and room to
// write ahead; when the write position passes its end, the history moves down.
constexpr std::uint32_t kWindowEnd = 4 * kDictSize;
constexpr std::uint32_t kWindowSlack = 256 + 8;  // a match that starts just before the end
constexpr int kCodeLengthCount = 19;             // code-length code alphabet
constexpr int kDistanceCount = 14;               // distance code alphabet
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
  void DecodeFast(std::uint32_t& pos, std::int64_t& produced, std::int64_t original_size);
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

  // Hands the bytes decoded since the last call to the run's sink.
  void Deliver(std::uint32_t pos) {
    const std::uint32_t from = delivered_;
    delivered_ = pos;  // never twice, even when the sink fails
    context_.WriteDestBytes(window_ + from, pos - from);
  }

  std::uint8_t window_[kWindowEnd + kWindowSlack];
  std::uint32_t delivered_ = kDictSize;
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
    if (c >= kCodeLengthCount)
      c = WalkTree(c, kCodeLengthCount, bits_.Window(), 16 - kAuxTableBits);
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
  if (i < kLh5SymbolCount)
    std::memset(symbol_lengths_ + i, 0, static_cast<std::size_t>(kLh5SymbolCount - i));
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

// The same decoding as Run's loop for the symbols of the current block while the
// current chunk holds the bits of a whole token (symbol, distance code and extra
// bits: at most 44), with the bit state in locals. Returns to Run at a block's end,
// when the chunk runs low, or when the window needs moving.
void Lh5Decoder::DecodeFast(std::uint32_t& pos_ref, std::int64_t& produced_ref,
                            std::int64_t original_size) {
  constexpr int kTokenBits = 44;
  Lh5BitReader::State s = bits_.Export();
  std::uint32_t pos = pos_ref;
  std::int64_t produced = produced_ref;
  std::uint16_t block_left = block_left_;
  std::uint8_t* const window = window_;
  // Hands the state back to the reader and lets it fill its view as Skip would: from
  // the chunk, or by reading the next one (which may fail) before the token's bytes
  // are stored, as when decoding bit by bit.
  auto refresh = [&] {
    bits_.Import(s);
    bits_.Skip(0);
    s = bits_.Export();
  };
  auto write_back = [&] {
    bits_.Import(s);
    block_left_ = block_left;
    pos_ref = pos;
    produced_ref = produced;
  };
  try {
    while (produced < original_size && block_left != 0 && pos < kWindowEnd) {
      if (s.count < kTokenBits) {
        bits_.TopUp(s);
        if (s.count < kTokenBits) break;
      }
      --block_left;
      int c = symbol_table_[s.bits >> (64 - kSymbolTableBits)];
      if (c >= kLh5SymbolCount) {
        c = WalkTree(c, kLh5SymbolCount, static_cast<std::uint32_t>(s.bits >> 48),
                     16 - kSymbolTableBits);
      }
      int n = symbol_lengths_[c];
      s.bits <<= n;
      s.count -= n;
      s.position += static_cast<std::uint64_t>(n);
      if (c < 256) {
        if (s.count < 16) refresh();
        window[pos++] = static_cast<std::uint8_t>(c);
        ++produced;
        continue;
      }
      const std::uint32_t length = static_cast<std::uint32_t>(c) - 253;
      int j = aux_table_[s.bits >> (64 - kAuxTableBits)];
      if (j >= kDistanceCount) {
        j = WalkTree(j, kDistanceCount, static_cast<std::uint32_t>(s.bits >> 48),
                     16 - kAuxTableBits);
      }
      n = aux_lengths_[j];
      s.bits <<= n;
      s.count -= n;
      s.position += static_cast<std::uint64_t>(n);
      std::uint32_t distance = static_cast<std::uint32_t>(j);
      if (j > 1) {
        const int extra = j - 1;
        distance = (1u << extra) + static_cast<std::uint32_t>(s.bits >> (64 - extra));
        s.bits <<= extra;
        s.count -= extra;
        s.position += static_cast<std::uint64_t>(extra);
      }
      if (s.count < 16) refresh();
      const std::uint8_t* src = window + pos - distance - 1;
      std::uint8_t* dst = window + pos;
      if (distance >= 7) {
        for (std::uint32_t k = 0; k < length; k += 8) std::memcpy(dst + k, src + k, 8);
      } else {
        for (std::uint32_t k = 0; k < length; ++k) dst[k] = src[k];
      }
      pos += length;
      produced += length;
    }
  } catch (...) {
    write_back();
    throw;
  }
  write_back();
}

void Lh5Decoder::Run(std::int32_t original_size) {
  bits_.Start();
  // Before the entry starts, the history is all spaces.
  std::memset(window_, 0x20, kDictSize);
  std::uint32_t pos = kDictSize;
  std::int64_t produced = 0;
  // Output is delivered in batches; whatever was decoded before a failure is
  // delivered before the failure goes on, so the sink sees what byte-by-byte
  // delivery would have given it.
  try {
    while (produced < original_size) {
      if (pos >= kWindowEnd) {
        Deliver(pos);
        std::memmove(window_, window_ + pos - kDictSize, kDictSize);
        pos = delivered_ = kDictSize;
      }
      if (observer_ == nullptr && block_left_ != 0 && !bits_.Ended()) {
        DecodeFast(pos, produced, original_size);
        if (produced >= original_size || pos >= kWindowEnd) continue;
        // Otherwise the next token needs the careful path below.
      }
      const int c = DecodeSymbol();
      if (c < 256) {
        CheckOverrun();
        if (observer_ != nullptr) (*observer_)(c, 0);
        window_[pos++] = static_cast<std::uint8_t>(c);
        ++produced;
        continue;
      }
      const std::uint32_t length = static_cast<std::uint32_t>(c) - 253;
      const std::uint32_t distance = DecodeDistance();
      CheckOverrun();
      if (observer_ != nullptr) (*observer_)(c, distance);
      // Each byte is stored before the next is fetched, so a distance shorter than
      // the length repeats the recent bytes. Eight at a time is the same when the
      // source lies at least eight bytes back; the few bytes written past the match
      // land where nothing has been decoded yet.
      const std::uint8_t* src = window_ + pos - distance - 1;
      std::uint8_t* dst = window_ + pos;
      if (distance >= 7) {
        for (std::uint32_t k = 0; k < length; k += 8) std::memcpy(dst + k, src + k, 8);
      } else {
        for (std::uint32_t k = 0; k < length; ++k) dst[k] = src[k];
      }
      pos += length;
      produced += length;
    }
  } catch (...) {
    Deliver(pos);
    throw;
  }
  Deliver(pos);
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
