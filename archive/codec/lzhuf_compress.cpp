// LZHUF encoder: the window starts with 4036 spaces, the look-ahead holds the next
// 60 input bytes, and each step codes either a literal or the longest match found
// (3..60 bytes), updating the adaptive code after every symbol.

#include <cstring>
#include <memory>

#include "archive/codec/codec_context.h"
#include "archive/codec/lzhuf.h"
#include "archive/codec/lzhuf_match_finder.h"
#include "archive/codec/lzhuf_position_code.h"
#include "archive/codec/lzhuf_tree.h"

namespace nolvo::codec {
namespace {

constexpr int kWindow = LzhufMatchFinder::kWindow;
constexpr int kMaxMatch = LzhufMatchFinder::kMaxMatch;
constexpr int kStart = kWindow - kMaxMatch;  // 4036: where the first input byte goes
constexpr int kThreshold = 2;                // matches this short are sent as literals

class LzhufEncoder {
 public:
  explicit LzhufEncoder(CodecContext& context) : context_(context), finder_(text_) {}

  void Run();

 private:
  // Appends the low `count` bits of `bits`, most significant first, and passes every
  // completed byte on at once.
  void PutBits(std::uint64_t bits, int count) {
    acc_ = (acc_ << count) | bits;
    pending_ += count;
    while (pending_ >= 8) {
      pending_ -= 8;
      context_.WriteDestByte(static_cast<std::uint8_t>(acc_ >> pending_));
    }
    acc_ &= (std::uint64_t{1} << pending_) - 1;
  }

  // The last byte is padded with zero bits.
  void FlushBits() {
    if (pending_ > 0) context_.WriteDestByte(static_cast<std::uint8_t>(acc_ << (8 - pending_)));
    pending_ = 0;
    acc_ = 0;
  }

  // Codes a symbol by its path in the tree (odd nodes are 1-bits, root side first).
  void EncodeSymbol(int symbol) {
    std::uint64_t code = 0;
    int length = 0;
    for (int node = tree_.leaf(symbol); node != LzhufTree::kRoot; node = tree_.parent(node)) {
      code |= static_cast<std::uint64_t>(node & 1) << length;
      ++length;
    }
    PutBits(code, length);
    tree_.Update(symbol);
  }

  void EncodePosition(int position) {
    const int upper = position >> 6;
    const int length = LzhufPositionCodeLength(upper);
    PutBits(kLzhufPositionTables.code[upper] >> (8 - length), length);
    PutBits(static_cast<std::uint64_t>(position & 63), 6);
  }

  // Reads the next input byte; false once the input has ended (it is not asked again).
  bool NextByte(std::uint8_t& b) {
    if (ended_) return false;
    b = context_.ReadSourceByte();
    if (context_.EndOfInput()) ended_ = true;
    return !ended_;
  }

  void Store(int slot, std::uint8_t b) {
    text_[slot] = b;
    if (slot < kMaxMatch - 1) text_[slot + kWindow] = b;
  }

  CodecContext& context_;
  std::uint8_t text_[LzhufMatchFinder::kTextAlloc]{};
  LzhufMatchFinder finder_;
  LzhufTree tree_;
  std::uint64_t acc_ = 0;
  int pending_ = 0;
  bool ended_ = false;
};

void LzhufEncoder::Run() {
  // The whole text starts as spaces, also where a short input leaves the look-ahead
  // unfilled.
  std::memset(text_, 0x20, sizeof text_);
  int len = 0;
  std::uint8_t b = 0;
  while (len < kMaxMatch && NextByte(b)) Store(kStart + len++, b);
  if (len == 0) return;

  // The 60 positions before the first byte take part in matching from the start; they
  // go in nearest first, and the order shapes the trees.
  int r = kStart;
  for (int i = 1; i <= kMaxMatch; ++i) finder_.Insert(r - i);
  LzhufMatchFinder::Match match = finder_.Insert(r);

  while (len > 0) {
    int length = match.length > len ? len : match.length;
    if (length <= kThreshold) {
      length = 1;
      EncodeSymbol(text_[r]);
    } else {
      EncodeSymbol(255 - kThreshold + length);
      EncodePosition(match.position);
    }
    // Slide the window by the bytes just coded; s is the slot the next input byte
    // takes, 60 positions ahead of r. Past the input's end the slots keep their old
    // bytes, and the strings read there are compared as they are.
    for (int i = 0; i < length; ++i) {
      const int s = (r - kStart) & (kWindow - 1);
      finder_.Remove(s);
      r = (r + 1) & (kWindow - 1);
      if (NextByte(b)) {
        Store(s, b);
        match = finder_.Insert(r);
      } else if (--len > 0) {
        match = finder_.Insert(r);
      }
    }
  }
  FlushBits();
}

}  // namespace

void LzhufCompress(CodecContext& context) {
  auto encoder = std::make_unique<LzhufEncoder>(context);
  encoder->Run();
}

}  // namespace nolvo::codec
