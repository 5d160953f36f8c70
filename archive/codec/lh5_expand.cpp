#include <bit>
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
constexpr std::uint32_t kWindowEnd = 8 * kDictSize;
constexpr std::uint32_t kWindowSlack = 256 + 8;  // a match that starts just before the end
constexpr int kCodeLengthCount = 19;             // code-length code alphabet
constexpr int kDistanceCount = 14;               // distance code alphabet
constexpr int kSymbolTableBits = 10;
constexpr int kAuxTableBits = 8;
// A table entry that stands for a single-symbol code naming no symbol of its alphabet.
constexpr std::uint16_t kBadEntry = 0xFFFF;
// Fast symbol entries: bits to drop in the low 6 bits, the symbol from bit 8. With the
// tree flag, bits 8..23 name a tree node (or kBadEntry) instead; with the double flag
// the entry holds two literals (the second from bit 24) and the bits of both.
constexpr std::uint32_t kFastTreeFlag = 1u << 6;
constexpr std::uint32_t kFastDoubleFlag = 1u << 7;
// Fast distance entries: the distance less the stored bits of code and extra bits in
// the low 32 bits (added back, they give the distance), those bits' count at bit 32,
// or the tree flag at bit 38 with the node in the low bits.
constexpr std::uint64_t kFastDistanceTree = std::uint64_t{1} << 38;

constexpr std::uint32_t FastSymbol(std::uint32_t symbol, std::uint32_t bits) {
  return bits | symbol << 8;
}

// Everything one entry's decoding needs; allocated per entry.
class Lh5Decoder {
 public:
  Lh5Decoder(CodecContext& context, const Lh5TokenObserver* observer)
      : context_(context),
        observer_(observer),
        bits_(context),
        keyed_(context.DescrambleMask(0) != 0) {}

  void Run(std::int32_t original_size);

 private:
  template <bool kKeyed>
  void DecodeFast(std::uint32_t& pos, std::int64_t& produced, std::int64_t original_size);
  void ReadBlockHeader();
  void BuildFastTables();
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
  const bool keyed_;  // stored bytes are descrambled
  std::uint16_t block_left_ = 0;

  std::uint8_t symbol_lengths_[kLh5SymbolCount] = {};
  std::uint16_t symbol_table_[1u << kSymbolTableBits] = {};
  // Shared by the code-length code and then the distance code of each block.
  std::uint8_t aux_lengths_[128] = {};
  std::uint16_t aux_table_[1u << kAuxTableBits] = {};
  std::uint16_t left_[kLh5TreeSize] = {};
  // The symbol and distance tables again for the fast path: symbol (or distance base)
  // and the bits to drop in one entry.
  std::uint32_t symbol_fast_[1u << kSymbolTableBits] = {};
  std::uint64_t distance_fast_[1u << kAuxTableBits] = {};
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
  BuildFastTables();
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

// Little-endian load of eight stored bytes.
inline std::uint64_t LoadLe64(const std::uint8_t* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  return w;
}

// The fast entry of distance code j whose stored code is `code` (`len` bits): the
// code's and extra bits' count, and base minus (code << extra) so that adding the
// stored bits, read as one number, gives the distance.
std::uint64_t FastDistance(std::uint32_t j, std::uint32_t len, std::uint32_t code) {
  const std::uint32_t extra = j > 1 ? j - 1 : 0;
  const std::uint32_t base = j > 1 ? 1u << extra : j;
  return std::uint64_t{len + extra} << 32 | static_cast<std::uint32_t>(base - (code << extra));
}

void Lh5Decoder::BuildFastTables() {
  constexpr std::uint32_t kSize = 1u << kSymbolTableBits;
  // Canonical codes give each symbol of up to kSymbolTableBits bits one aligned run of
  // entries, so the table is filled run by run.
  for (std::uint32_t i = 0; i < kSize;) {
    const std::uint16_t e = symbol_table_[i];
    if (e >= kLh5SymbolCount) {
      symbol_fast_[i++] = std::uint32_t{e} << 8 | kFastTreeFlag;
      continue;
    }
    const std::uint32_t len = symbol_lengths_[e];
    const std::uint32_t run = std::min(kSize - i, kSize >> len);
    if (e >= 256 || len >= kSymbolTableBits || len == 0) {
      std::fill_n(symbol_fast_ + i, run, FastSymbol(e, len));
      i += run;
      continue;
    }
    // A literal whose code leaves room for the whole code of a second literal in the
    // same lookup: both in one entry.
    for (std::uint32_t k = 0; k < run; ++k, ++i) {
      const std::uint16_t second = symbol_table_[(k << len) & (kSize - 1)];
      const std::uint32_t total = len + (second < 256 ? symbol_lengths_[second] : kSymbolTableBits);
      symbol_fast_[i] = total <= kSymbolTableBits
                            ? FastSymbol(e, total) | kFastDoubleFlag | std::uint32_t{second} << 24
                            : FastSymbol(e, len);
    }
  }
  for (std::uint32_t i = 0; i < (1u << kAuxTableBits); ++i) {
    const std::uint16_t j = aux_table_[i];
    if (j >= kDistanceCount) {
      distance_fast_[i] = j | kFastDistanceTree;
      continue;
    }
    const std::uint32_t len = aux_lengths_[j];
    const std::uint32_t code = len == 0 ? 0 : i >> (kAuxTableBits - len);
    distance_fast_[i] = FastDistance(j, len, code);
  }
}

// The same decoding as Run's loop for the symbols of the current block, reading the
// stored bits in place while the current chunk holds eight more bytes. Each token
// (symbol, distance code and extra bits: at most 44 bits) starts with at least 56
// bits in view, and at least two bytes of the chunk stay untaken, so the next chunk is
// never read here and the bytes are taken exactly as the careful path takes them.
// Returns to Run for a block's last symbol, near the chunk's end, at OriginalSize, or
// when the window needs moving.
template <bool kKeyed>
void Lh5Decoder::DecodeFast(std::uint32_t& pos_ref, std::int64_t& produced_ref,
                            std::int64_t original_size) {
  std::size_t avail = context_.Buffered();
  if (avail < 8) return;
  const Lh5BitReader::State entry = bits_.Export();
  const std::uint8_t* const base = context_.Untaken();
  const std::uint8_t* p = base;
  const std::uint8_t* const stop = base + avail - 8;
  // Bits below `count` are zero or already the next stored bits, so reloading
  // overlapping bytes is harmless.
  std::uint64_t bits = entry.bits;
  int count = entry.count;

  std::uint32_t pos = pos_ref;
  const std::int64_t left = original_size - produced_ref;
  const std::uint32_t limit = left < static_cast<std::int64_t>(kWindowEnd - pos)
                                  ? pos + static_cast<std::uint32_t>(left)
                                  : kWindowEnd;
  std::uint32_t block_left = block_left_;
  std::uint8_t* const window = window_;
  const std::uint32_t start_pos = pos;

  auto write_back = [&] {
    const auto used = static_cast<std::size_t>(p - base);
    context_.Take(used);
    if (count < 64) bits &= ~std::uint64_t{0} << (64 - count);
    bits_.Import(
        {bits, count, entry.position + 8 * used - static_cast<std::uint64_t>(count - entry.count)});
    // Back to the careful path's rule of 16 bits in view (from this chunk).
    bits_.Skip(0);
    block_left_ = static_cast<std::uint16_t>(block_left);
    produced_ref += pos - start_pos;
    pos_ref = pos;
  };
  try {
    // Room for two literals in the block and before the limit.
    while (pos + 1 < limit && block_left >= 2 && p <= stop) {
      if (count < 56) {
        std::uint64_t w = LoadLe64(p);
        if constexpr (kKeyed) w ^= context_.DescrambleMask(static_cast<std::size_t>(p - base));
        bits |= __builtin_bswap64(w) >> count;
        p += (63 - count) >> 3;
        count |= 56;
      }

      std::uint32_t e = symbol_fast_[bits >> (64 - kSymbolTableBits)];
      if (e & kFastTreeFlag) {
        const int c = WalkTree(static_cast<int>((e >> 8) & 0xFFFF), kLh5SymbolCount,
                               static_cast<std::uint32_t>(bits >> 48), 16 - kSymbolTableBits);
        e = FastSymbol(static_cast<std::uint32_t>(c), symbol_lengths_[c]);
      }
      const int n = static_cast<int>(e & 0x3F);
      bits <<= n;
      count -= n;
      const std::uint32_t c = (e >> 8) & 0x1FF;
      if (c < 256) {
        // One or two literals; the second byte is overwritten later when single.
        const std::uint32_t taken = 1 + ((e & kFastDoubleFlag) != 0);
        window[pos] = static_cast<std::uint8_t>(c);
        window[pos + 1] = static_cast<std::uint8_t>(e >> 24);
        pos += taken;
        block_left -= taken;
        continue;
      }
      --block_left;
      const std::uint32_t length = c - 253;
      std::uint64_t d = distance_fast_[bits >> (64 - kAuxTableBits)];
      if (d & kFastDistanceTree) {
        const auto j = static_cast<std::uint32_t>(
            WalkTree(static_cast<int>(d & 0xFFFF), kDistanceCount,
                     static_cast<std::uint32_t>(bits >> 48), 16 - kAuxTableBits));
        const std::uint32_t len = aux_lengths_[j];
        d = FastDistance(j, len, static_cast<std::uint32_t>(bits >> (64 - len)));
      }
      const int total = static_cast<int>(d >> 32);
      const std::uint32_t distance =
          static_cast<std::uint32_t>((bits >> (63 - total)) >> 1) + static_cast<std::uint32_t>(d);
      bits <<= total;
      count -= total;
      const std::uint8_t* src = window + pos - distance - 1;
      std::uint8_t* dst = window + pos;
      if (distance >= 15) {
        for (std::uint32_t k = 0; k < length; k += 16) std::memcpy(dst + k, src + k, 16);
      } else if (distance >= 7) {
        for (std::uint32_t k = 0; k < length; k += 8) std::memcpy(dst + k, src + k, 8);
      } else {
        for (std::uint32_t k = 0; k < length; ++k) dst[k] = src[k];
      }
      pos += length;
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
        if (keyed_) {
          DecodeFast<true>(pos, produced, original_size);
        } else {
          DecodeFast<false>(pos, produced, original_size);
        }
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
