// LZHUF decoder. Bits are taken most significant first. The reader keeps a wide bit
// buffer that it fills from bytes already buffered by the context, but it asks for a
// new chunk of stored data only at the moment a byte-at-a-time reader would: when a
// read is due with 8 or fewer bits left. Progress reports and the source position
// therefore come out as with such a reader. Decoded bytes collect in the window and
// go to the context a window segment at a time, and always before a chunk is read.

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

class LzhufDecoder {
 public:
  explicit LzhufDecoder(CodecContext& context) : context_(context) {}

  void Run(std::int64_t original_size);

 private:
  // Moves already buffered stored bytes into the bit buffer, never reading a chunk.
  void TopUp() {
    std::uint8_t bytes[8];
    const std::size_t room = static_cast<std::size_t>(64 - avail_) >> 3;
    if (room == 0) return;
    const std::size_t n = context_.TakeBuffered(bytes, room);
    for (std::size_t i = 0; i < n; ++i) {
      bits_ |= std::uint64_t{bytes[i]} << (56 - avail_);
      avail_ += 8;
    }
  }

  // Called before every read: with 8 or fewer bits left, one more byte is due.
  void BeforeRead() {
    if (avail_ <= 8) Refill();
  }

  void Refill() {
    TopUp();
    if (avail_ > 8) return;
    // The buffered chunk is used up: the next byte comes from a new chunk, or reads
    // as zero bits once the stored data have ended.
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

  void Skip(int n) {
    bits_ <<= n;
    avail_ -= n;
  }

  int DecodeSymbol() {
    int c = tree_.son(LzhufTree::kRoot);
    while (c < LzhufTree::kNodes) {
      BeforeRead();
      c = tree_.son(c + static_cast<int>(bits_ >> 63));
      Skip(1);
    }
    return c - LzhufTree::kNodes;
  }

  int DecodePosition() {
    BeforeRead();
    unsigned v = static_cast<unsigned>(bits_ >> 56);
    Skip(8);
    const int upper = kLzhufPositionTables.upper[v];
    const int extra = kLzhufPositionTables.length[v] - 2;
    BeforeRead();
    v = (v << extra) | static_cast<unsigned>(bits_ >> (64 - extra));
    Skip(extra);
    return (upper << 6) | static_cast<int>(v & 63);
  }

  // The stored data ended inside the token just decoded.
  void CheckNotTruncated() {
    if (avail_ < padding_) {
      FlushOutput();
      CodecContext::RaiseTruncated();
    }
  }

  void Put(std::uint8_t b) {
    window_[r_] = b;
    r_ = (r_ + 1) & kWindowMask;
    if (r_ == 0) {
      context_.WriteDestBytes(window_ + flushed_, static_cast<std::size_t>(kWindow - flushed_));
      flushed_ = 0;
    }
  }

  void FlushOutput() {
    if (r_ > flushed_) {
      context_.WriteDestBytes(window_ + flushed_, static_cast<std::size_t>(r_ - flushed_));
    }
    flushed_ = r_;
  }

  CodecContext& context_;
  LzhufTree tree_;
  std::uint8_t window_[kWindow];
  int r_ = kStart;
  int flushed_ = kStart;  // window bytes from here up to r_ are not yet passed on

  std::uint64_t bits_ = 0;  // unread bits, aligned to the top
  int avail_ = 0;           // how many bits of bits_ are valid
  int padding_ = 0;         // how many of them lie beyond the stored data
  bool ended_ = false;
};

void LzhufDecoder::Run(std::int64_t original_size) {
  std::memset(window_, 0x20, sizeof window_);
  std::int64_t produced = 0;
  while (produced < original_size) {
    if (avail_ < 40) TopUp();
    const int c = DecodeSymbol();
    if (c < 256) {
      CheckNotTruncated();
      tree_.Update(c);
      Put(static_cast<std::uint8_t>(c));
      ++produced;
      continue;
    }
    const int position = DecodePosition();
    CheckNotTruncated();
    tree_.Update(c);
    const int length = c - 253;
    int src = (r_ - position - 1) & kWindowMask;
    for (int k = 0; k < length; ++k) {
      Put(window_[src]);
      src = (src + 1) & kWindowMask;
    }
    produced += length;
  }
  FlushOutput();
}

}  // namespace

void LzhufExpand(CodecContext& context, std::int32_t original_size) {
  if (original_size <= 0) return;
  auto decoder = std::make_unique<LzhufDecoder>(context);
  decoder->Run(original_size);
}

}  // namespace nolvo::codec
