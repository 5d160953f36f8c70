#include <algorithm>
#include <cstring>
#include <memory>

#include "archive/codec/lh5.h"
#include "archive/codec/lh5_bit_writer.h"
#include "archive/codec/lh5_huffman.h"
#include "archive/codec/lh5_match_finder.h"
#include "archive/codec/lh5_table.h"

namespace nolvo::codec {
namespace {

constexpr int kDictSize = 8192;
constexpr int kMaxMatch = 256;
constexpr int kTextSize = 2 * kDictSize + kMaxMatch;  // 16640
constexpr int kTextStart = kDictSize + kMaxMatch;     // 8448: where input first goes
constexpr int kItemBufferSize = 16384;
constexpr int kItemBufferLimit = kItemBufferSize - 24;  // a new group past this sends the block
constexpr int kCodeLengthCount = 19;
constexpr int kDistanceCount = 14;

int BitLength(std::uint32_t v) {
  int n = 0;
  while (v != 0) {
    v >>= 1;
    ++n;
  }
  return n;
}

class Lh5Encoder {
 public:
  explicit Lh5Encoder(CodecContext& context) : context_(context), out_(context) {}
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
  void PutItem(int symbol, std::uint32_t distance);
  void SendBlock();
  void CountCodeLengthFrequencies();
  void WriteAuxLengths(int count, int width, int special);
  void WriteSymbolLengths();
  void PutCodeLengthSymbol(int c) { out_.Put(aux_lengths_[c], aux_codes_[c]); }

  CodecContext& context_;
  Lh5BitWriter out_;
  bool input_ended_ = false;

  std::uint8_t text_[kTextSize];
  int pos_ = 0;
  std::int64_t remainder_ = 0;
  std::uint32_t base_ = 0;  // finder position of text_[0]
  Lh5MatchFinder finder_;
  Lh5MatchFinder::Match match_;

  std::uint8_t items_[kItemBufferSize];
  int item_pos_ = 0;
  int flag_pos_ = 0;
  unsigned flag_mask_ = 0;

  std::uint32_t symbol_freq_[kLh5TreeSize] = {};
  std::uint8_t symbol_lengths_[kLh5SymbolCount];
  std::uint16_t symbol_codes_[kLh5SymbolCount];
  std::uint32_t distance_freq_[2 * kDistanceCount - 1] = {};
  std::uint32_t code_length_freq_[2 * kCodeLengthCount - 1] = {};
  // Lengths and codes of the code-length code, then of the distance code.
  std::uint8_t aux_lengths_[kCodeLengthCount];
  std::uint16_t aux_codes_[kCodeLengthCount];
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

void Lh5Encoder::PutItem(int symbol, std::uint32_t distance) {
  if ((flag_mask_ >>= 1) == 0) {
    flag_mask_ = 0x80;
    if (item_pos_ >= kItemBufferLimit) {
      SendBlock();
      item_pos_ = 0;
    }
    flag_pos_ = item_pos_++;
    items_[flag_pos_] = 0;
  }
  items_[item_pos_++] = static_cast<std::uint8_t>(symbol);
  ++symbol_freq_[symbol];
  if (symbol >= 256) {
    items_[flag_pos_] |= static_cast<std::uint8_t>(flag_mask_);
    items_[item_pos_++] = static_cast<std::uint8_t>(distance >> 8);
    items_[item_pos_++] = static_cast<std::uint8_t>(distance);
    ++distance_freq_[BitLength(distance)];
  }
}

void Lh5Encoder::CountCodeLengthFrequencies() {
  std::fill(code_length_freq_, code_length_freq_ + kCodeLengthCount, 0u);
  int n = kLh5SymbolCount;
  while (n > 0 && symbol_lengths_[n - 1] == 0) --n;
  int i = 0;
  while (i < n) {
    const int k = symbol_lengths_[i++];
    if (k != 0) {
      ++code_length_freq_[k + 2];
      continue;
    }
    int run = 1;
    while (i < n && symbol_lengths_[i] == 0) {
      ++i;
      ++run;
    }
    if (run <= 2) {
      code_length_freq_[0] += static_cast<std::uint32_t>(run);
    } else if (run <= 18) {
      ++code_length_freq_[1];
    } else if (run == 19) {
      ++code_length_freq_[0];
      ++code_length_freq_[1];
    } else {
      ++code_length_freq_[2];
    }
  }
}

void Lh5Encoder::WriteAuxLengths(int count, int width, int special) {
  int n = count;
  while (n > 0 && aux_lengths_[n - 1] == 0) --n;
  out_.Put(width, static_cast<std::uint32_t>(n));
  int i = 0;
  while (i < n) {
    const int k = aux_lengths_[i++];
    if (k <= 6) {
      out_.Put(3, static_cast<std::uint32_t>(k));
    } else {
      out_.Put(k - 3, (1u << (k - 3)) - 2);  // k - 4 one-bits and a zero
    }
    if (i == special) {
      while (i < 6 && aux_lengths_[i] == 0) ++i;
      out_.Put(2, static_cast<std::uint32_t>((i - 3) & 3));
    }
  }
}

void Lh5Encoder::WriteSymbolLengths() {
  int n = kLh5SymbolCount;
  while (n > 0 && symbol_lengths_[n - 1] == 0) --n;
  out_.Put(9, static_cast<std::uint32_t>(n));
  int i = 0;
  while (i < n) {
    const int k = symbol_lengths_[i++];
    if (k != 0) {
      PutCodeLengthSymbol(k + 2);
      continue;
    }
    int run = 1;
    while (i < n && symbol_lengths_[i] == 0) {
      ++i;
      ++run;
    }
    if (run <= 2) {
      for (int r = 0; r < run; ++r) PutCodeLengthSymbol(0);
    } else if (run <= 18) {
      PutCodeLengthSymbol(1);
      out_.Put(4, static_cast<std::uint32_t>(run - 3));
    } else if (run == 19) {
      PutCodeLengthSymbol(0);
      PutCodeLengthSymbol(1);
      out_.Put(4, 15);
    } else {
      PutCodeLengthSymbol(2);
      out_.Put(9, static_cast<std::uint32_t>(run - 20));
    }
  }
}

void Lh5Encoder::SendBlock() {
  const int root = Lh5MakeCode(kLh5SymbolCount, symbol_freq_, symbol_lengths_, symbol_codes_);
  const std::uint32_t size = symbol_freq_[root];
  out_.Put(16, size & 0xFFFF);
  if (root >= kLh5SymbolCount) {
    CountCodeLengthFrequencies();
    const int aux_root = Lh5MakeCode(kCodeLengthCount, code_length_freq_, aux_lengths_, aux_codes_);
    if (aux_root >= kCodeLengthCount) {
      WriteAuxLengths(kCodeLengthCount, 5, 3);
    } else {
      out_.Put(5, 0);
      out_.Put(5, static_cast<std::uint32_t>(aux_root));
    }
    WriteSymbolLengths();
  } else {
    out_.Put(5, 0);
    out_.Put(5, 0);
    out_.Put(9, 0);
    out_.Put(9, static_cast<std::uint32_t>(root));
  }
  const int distance_root = Lh5MakeCode(kDistanceCount, distance_freq_, aux_lengths_, aux_codes_);
  if (distance_root >= kDistanceCount) {
    WriteAuxLengths(kDistanceCount, 4, -1);
  } else {
    out_.Put(4, 0);
    out_.Put(4, static_cast<std::uint32_t>(distance_root));
  }

  int at = 0;
  unsigned flags = 0;
  for (std::uint32_t i = 0; i < size; ++i) {
    if (i % 8 == 0) {
      flags = items_[at++];
    } else {
      flags <<= 1;
    }
    if (flags & 0x80) {
      const int symbol = items_[at++] + 256;
      out_.Put(symbol_lengths_[symbol], symbol_codes_[symbol]);
      const std::uint32_t d = static_cast<std::uint32_t>(items_[at] << 8 | items_[at + 1]);
      at += 2;
      const int b = BitLength(d);
      out_.Put(aux_lengths_[b], aux_codes_[b]);
      if (b > 1) out_.Put(b - 1, d);
    } else {
      const int symbol = items_[at++];
      out_.Put(symbol_lengths_[symbol], symbol_codes_[symbol]);
    }
  }
  std::fill(symbol_freq_, symbol_freq_ + kLh5SymbolCount, 0u);
  std::fill(distance_freq_, distance_freq_ + kDistanceCount, 0u);
  // The block's bytes reach the sink before any more input is read.
  out_.Flush();
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
      PutItem(text_[pos_ - 1], 0);
      continue;
    }
    const std::uint32_t here = base_ + static_cast<std::uint32_t>(pos_);
    PutItem(last.length + 253, (here - last.position - 2) & (kDictSize - 1));
    // Only the match at the last of these positions is looked at.
    Skip(last.length - 2);
    Advance(true);
  }
  SendBlock();
  out_.Put(7, 0);
  out_.Flush();
}

}  // namespace

void Lh5Compress(CodecContext& context) {
  auto encoder = std::make_unique<Lh5Encoder>(context);
  encoder->Run();
}

}  // namespace nolvo::codec
