#include "archive/codec/lh5_block_writer.h"

#include <algorithm>
#include <bit>

#include "archive/codec/lh5_huffman.h"

namespace nolvo::codec {

namespace {

// The number of symbol lengths up to the last non-zero one.
int UsedLengths(const std::uint8_t* lengths) {
  int n = kLh5SymbolCount;
  while (n > 0 && lengths[n - 1] == 0) --n;
  return n;
}

// Walks the first `n` symbol lengths as the block header codes them: a length k as code
// k + 2; a run of zeros as code 0 once or twice (one or two zeros), code 1 with 4 bits
// (3 to 18), code 0 then code 1 with 4 bits (19), or code 2 with 9 bits (20 and more).
// `emit(code, bits, value)` receives each code and its extra bits (none when bits is 0).
template <class Emit>
void WalkSymbolLengths(const std::uint8_t* lengths, int n, Emit emit) {
  int i = 0;
  while (i < n) {
    const int k = lengths[i++];
    if (k != 0) {
      emit(k + 2, 0, 0);
      continue;
    }
    int run = 1;
    while (i < n && lengths[i] == 0) {
      ++i;
      ++run;
    }
    if (run <= 2) {
      for (int r = 0; r < run; ++r) emit(0, 0, 0);
    } else if (run <= 18) {
      emit(1, 4, run - 3);
    } else if (run == 19) {
      emit(0, 0, 0);
      emit(1, 4, 15);
    } else {
      emit(2, 9, run - 20);
    }
  }
}

}  // namespace

void Lh5BlockWriter::CountCodeLengthFrequencies() {
  std::fill(code_length_freq_, code_length_freq_ + kCodeLengthCount, 0u);
  WalkSymbolLengths(symbol_lengths_, UsedLengths(symbol_lengths_),
                    [&](int code, int, int) { ++code_length_freq_[code]; });
}

void Lh5BlockWriter::WriteAuxLengths(int count, int width, int special) {
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

void Lh5BlockWriter::WriteSymbolLengths() {
  const int n = UsedLengths(symbol_lengths_);
  out_.Put(9, static_cast<std::uint32_t>(n));
  WalkSymbolLengths(symbol_lengths_, n, [&](int code, int bits, int value) {
    PutCodeLengthSymbol(code);
    if (bits != 0) out_.Put(bits, static_cast<std::uint32_t>(value));
  });
}

void Lh5BlockWriter::SendBlock() {
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
      const int b = std::bit_width(d);
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

void Lh5BlockWriter::Finish() {
  SendBlock();
  out_.Put(7, 0);
  out_.Flush();
}

}  // namespace nolvo::codec
