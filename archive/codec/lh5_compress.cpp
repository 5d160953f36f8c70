#include <algorithm>
#include <cstring>
#include <memory>

#include "archive/codec/lh5.h"
#include "archive/codec/lh5_block_writer.h"
#include "archive/codec/lh5_match_finder.h"

namespace nolvo::codec {
namespace {

constexpr int kDictSize = 8192;
constexpr int kMaxMatch = 256;
constexpr int kTextSize = 2 * kDictSize + kMaxMatch;  // 16640
constexpr int kTextStart = kDictSize + kMaxMatch;     // 8448: where input first goes

class Lh5Encoder {
 public:
  explicit Lh5Encoder(CodecContext& context) : context_(context), blocks_(context) {}
  void Run();

 private:
  int ReadInput(int at, int max);
  // Moves to the next position and adds it to the finder; `want_match` also searches
  // it for a match longer than `longer_than` and leaves the result in match_, its
  // length clamped to the bytes that remain (0 when there is none; left stale without
  // want_match).
  void Advance(bool want_match, int longer_than = 2);
  // Advance(false) n times.
  void Skip(int n);

  CodecContext& context_;
  Lh5BlockWriter blocks_;
  bool input_ended_ = false;

  std::uint8_t text_[kTextSize];
  int pos_ = 0;
  std::int64_t remainder_ = 0;
  std::uint32_t base_ = 0;  // finder position of text_[0]
  Lh5MatchFinder finder_;
  Lh5MatchFinder::Match match_;
};

// Reads up to `max` input bytes into text_[at..]; returns how many arrived.
int Lh5Encoder::ReadInput(int at, int max) {
  int n = 0;
  while (n < max && !input_ended_) {
    const std::size_t got =
        context_.TakeBuffered(text_ + at + n, static_cast<std::size_t>(max - n));
    if (got > 0) {
      n += static_cast<int>(got);
      continue;
    }
    const std::uint8_t b = context_.ReadSourceByte();
    if (context_.EndOfInput()) {
      input_ended_ = true;
      break;
    }
    text_[at + n++] = b;
  }
  return n;
}

void Lh5Encoder::Advance(bool want_match, int longer_than) {
  --remainder_;
  if (++pos_ == 2 * kDictSize) {
    std::memmove(text_, text_ + kDictSize, kTextSize - kDictSize);
    // A short read leaves the rest of the text as it was: matches near the input's
    // end are compared against those bytes and then clamped.
    remainder_ += ReadInput(kTextStart, kDictSize);
    pos_ = kDictSize;
    base_ += kDictSize;
  }
  const std::uint32_t at = base_ + static_cast<std::uint32_t>(pos_);
  if (want_match) {
    match_ = finder_.Insert(at, text_ + pos_, longer_than);
    if (match_.length > remainder_) match_.length = static_cast<int>(remainder_);
  } else {
    finder_.Add(at, text_ + pos_);
  }
}

void Lh5Encoder::Skip(int n) {
  while (n > 0) {
    // Positions before the text moves down go to the finder in one run.
    const int run = std::min(n, 2 * kDictSize - 1 - pos_);
    if (run == 0) {
      Advance(false);
      --n;
      continue;
    }
    finder_.AddRun(base_ + static_cast<std::uint32_t>(pos_ + 1), text_ + pos_ + 1, run);
    pos_ += run;
    remainder_ -= run;
    n -= run;
  }
}

void Lh5Encoder::Run() {
  const int first = ReadInput(kTextStart, kDictSize);
  if (first == 0) return;
  std::memset(text_, 0x20, kTextStart);
  // Past the input's end the first read leaves spaces.
  std::memset(text_ + kTextStart + first, 0x20, static_cast<std::size_t>(kDictSize - first));
  remainder_ = first;
  pos_ = kTextStart;
  match_ = finder_.Insert(static_cast<std::uint32_t>(pos_), text_ + pos_);

  while (remainder_ > 0) {
    const Lh5MatchFinder::Match last = match_;
    // Behind a match of 3 or more only a longer one matters here.
    Advance(true, last.length);
    if (match_.length > last.length || last.length < 3) {
      blocks_.PutLiteral(text_[pos_ - 1]);
      continue;
    }
    const std::uint32_t here = base_ + static_cast<std::uint32_t>(pos_);
    blocks_.PutMatch(last.length, (here - last.position - 2) & (kDictSize - 1));
    // Only the match at the last of these positions is looked at.
    Skip(last.length - 2);
    Advance(true);
  }
  blocks_.Finish();
}

}  // namespace

void Lh5Compress(CodecContext& context) {
  auto encoder = std::make_unique<Lh5Encoder>(context);
  encoder->Run();
}

}  // namespace nolvo::codec
