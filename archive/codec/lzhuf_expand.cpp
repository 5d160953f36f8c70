// LZHUF decoder. Bits are taken most significant first. The reader keeps a wide bit
// buffer fed from a block of stored bytes it takes from the context's chunk, but it
// asks for a new chunk only at the moment a byte-at-a-time reader would: when a read
// is due with 8 or fewer bits left and every byte of the current chunk is in use.
// Progress reports and the final source position therefore come out as with such a
// reader. Decoded bytes collect in the window and go to the context a window segment
// at a time, and always before a chunk is read.
//
// The inner loop works on local copies of the bit buffer and the window position;
// they are saved to the members around the rare calls that need them.

#include <bit>
#include <cstring>
#include <memory>

#include "archive/codec/codec_context.h"
#include "archive/codec/lzhuf.h"
#include "archive/codec/lzhuf_position_code.h"
#include "archive/codec/lzhuf_tree.h"

namespace nolvo::codec {
namespace {

constexpr int kWindow = 4096;
constexpr int kWindowMask = kWindow - 1;
constexpr int kStart = 4036;  // first write position; the slots before hold spaces
constexpr std::size_t kBlock = CodecContext::kBufferSize;

// The next 8 bytes as one number, the first byte most significant.
inline std::uint64_t LoadBigEndian64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
#if defined(__GNUC__)
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
#else
  v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
#endif
  return v;
}

class LzhufDecoder {
 public:
  explicit LzhufDecoder(CodecContext& context) : context_(context) {}

  void Run(std::int64_t original_size);

 private:
  // Feeds the bit buffer from the taken block, taking a new block of already buffered
  // bytes when it runs dry; never reads a chunk.
  void TopUp() {
    for (;;) {
      while (avail_ <= 56 && in_pos_ < in_end_) {
        bits_ |= std::uint64_t{in_[in_pos_++]} << (56 - avail_);
        avail_ += 8;
      }
      if (avail_ > 56 || context_.Buffered() == 0) return;
      in_end_ = context_.TakeBuffered(in_, kBlock);
      in_pos_ = 0;
    }
  }

  // Called when a read is due with 8 or fewer bits left.
  void Refill() {
    TopUp();
    if (avail_ > 8) return;
    // Every stored byte in hand is in the bit buffer: the next one comes from a new
    // chunk, or reads as zero bits once the stored data have ended.
    if (!ended_) {
      FlushOutput();
      const std::uint8_t b = context_.ReadSourceByte();
      if (!context_.EndOfInput()) {
        bits_ |= std::uint64_t{b} << (56 - avail_);
        avail_ += 8;
        TopUp();
        return;
      }
      ended_ = true;
    }
    // Zero bits beyond the stored data: allowed as look-ahead, fatal once consumed.
    padding_ += 8;
    avail_ += 8;
  }

  [[noreturn]] void Truncated() {
    FlushOutput();
    CodecContext::RaiseTruncated();
  }

  // Passes on the decoded bytes not yet handed to the context (r_ must be current).
  void FlushOutput() {
    if (r_ > flushed_) {
      context_.WriteDestBytes(window_ + flushed_, static_cast<std::size_t>(r_ - flushed_));
    }
    flushed_ = r_;
  }

  CodecContext& context_;
  LzhufTree tree_;
  std::uint8_t window_[kWindow];
  int r_ = kStart;        // next write position
  int flushed_ = kStart;  // window bytes from here up to r_ are not yet passed on

  std::uint8_t in_[kBlock];  // stored bytes taken from the context's chunk
  std::size_t in_pos_ = 0;
  std::size_t in_end_ = 0;

  std::uint64_t bits_ = 0;  // unread bits, aligned to the top; below them the
                            // following stored bits, or zeros
  int avail_ = 0;           // how many bits of bits_ are valid
  int padding_ = 0;         // how many of them lie beyond the stored data
  bool ended_ = false;
};

void LzhufDecoder::Run(std::int64_t original_size) {
  std::memset(window_, 0x20, sizeof window_);
  std::uint8_t* const win = window_;
  const std::uint16_t* const son = tree_.sons();
  std::uint64_t bits = 0;
  int avail = 0;
  std::size_t ip = 0;
  std::size_t ie = 0;
  int r = kStart;
  const auto save = [&] {
    bits_ = bits;
    avail_ = avail;
    in_pos_ = ip;
    in_end_ = ie;
    r_ = r;
  };
  const auto load = [&] {
    bits = bits_;
    avail = avail_;
    ip = in_pos_;
    ie = in_end_;
  };
  const auto before_read = [&] {
    if (avail <= 8) {
      save();
      Refill();
      load();
    }
  };
  const auto put = [&](std::uint8_t b) {
    win[r] = b;
    r = (r + 1) & kWindowMask;
    if (r == 0) {
      context_.WriteDestBytes(win + flushed_, static_cast<std::size_t>(kWindow - flushed_));
      flushed_ = 0;
    }
  };

  std::int64_t produced = 0;
  while (produced < original_size) {
    if (avail < 40) {
      if (ie - ip >= 8) {
        // Eight bytes at once; the whole bytes that fit count, the rest are the same
        // bits again at the next load.
        bits |= LoadBigEndian64(in_ + ip) >> avail;
        const int k = (63 - avail) >> 3;
        ip += static_cast<std::size_t>(k);
        avail += 8 * k;
      } else {
        save();
        TopUp();
        load();
      }
    }

    int c = son[LzhufTree::kRoot];
    while (c < LzhufTree::kNodes) {
      before_read();
      c = son[c + static_cast<int>(bits >> 63)];
      bits <<= 1;
      --avail;
    }
    c -= LzhufTree::kNodes;

    if (c < 256) {
      if (avail < padding_) {
        save();
        Truncated();
      }
      tree_.Update(c);
      put(static_cast<std::uint8_t>(c));
      ++produced;
      continue;
    }

    // Position: an 8-bit read, then the rest of its code and the low 6 bits.
    before_read();
    unsigned v = static_cast<unsigned>(bits >> 56);
    bits <<= 8;
    avail -= 8;
    const int upper = kLzhufPositionTables.upper[v];
    const int extra = kLzhufPositionTables.length[v] - 2;
    before_read();
    v = (v << extra) | static_cast<unsigned>(bits >> (64 - extra));
    bits <<= extra;
    avail -= extra;
    if (avail < padding_) {
      save();
      Truncated();
    }
    tree_.Update(c);

    const int position = (upper << 6) | static_cast<int>(v & 63);
    const int length = c - 253;
    int src = (r - position - 1) & kWindowMask;
    if (src + length <= kWindow && r + length < kWindow) {
      // Neither end wraps: a plain forward copy, which also repeats the bytes just
      // written when the match overlaps its own output.
      std::uint8_t* to = win + r;
      const std::uint8_t* from = win + src;
      if (position + 1 >= 8 && src < r) {
        int k = 0;
        for (; k + 8 <= length; k += 8) std::memcpy(to + k, from + k, 8);
        for (; k < length; ++k) to[k] = from[k];
      } else {
        for (int k = 0; k < length; ++k) to[k] = from[k];
      }
      r += length;
    } else {
      for (int k = 0; k < length; ++k) {
        put(win[src]);
        src = (src + 1) & kWindowMask;
      }
    }
    produced += length;
  }
  save();
  FlushOutput();
}

}  // namespace

void LzhufExpand(CodecContext& context, std::int32_t original_size) {
  if (original_size <= 0) return;
  auto decoder = std::make_unique<LzhufDecoder>(context);
  decoder->Run(original_size);
}

}  // namespace nolvo::codec
