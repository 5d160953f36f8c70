#pragma once
// The block stage of the -lh5- encoder: items (literals and matches) collect in a
// 16384-byte buffer of groups of eight behind a flag byte, and once a new group is due
// with 16360 bytes or more in use the buffer goes out as one block: its Huffman codes,
// built from the items' frequencies, then the items coded with them.

#include <bit>
#include <cstdint>

#include "archive/codec/codec_context.h"
#include "archive/codec/lh5_bit_writer.h"
#include "archive/codec/lh5_table.h"

namespace nolvo::codec {

class Lh5BlockWriter {
 public:
  explicit Lh5BlockWriter(CodecContext& context) : out_(context) {}
  Lh5BlockWriter(const Lh5BlockWriter&) = delete;
  Lh5BlockWriter& operator=(const Lh5BlockWriter&) = delete;

  void PutLiteral(std::uint8_t byte) {
    StartItem();
    items_[item_pos_++] = byte;
    ++symbol_freq_[byte];
  }

  // A match of `length` bytes (3..256) whose source lies distance + 1 bytes back.
  void PutMatch(int length, std::uint32_t distance) {
    StartItem();
    const int symbol = length + 253;
    items_[flag_pos_] |= static_cast<std::uint8_t>(flag_mask_);
    items_[item_pos_] = static_cast<std::uint8_t>(symbol);
    items_[item_pos_ + 1] = static_cast<std::uint8_t>(distance >> 8);
    items_[item_pos_ + 2] = static_cast<std::uint8_t>(distance);
    item_pos_ += 3;
    ++symbol_freq_[symbol];
    ++distance_freq_[std::bit_width(distance)];
  }

  // Sends the last block and completes a partly filled byte with zero bits. Call once
  // at least one item was put.
  void Finish();

 private:
  static constexpr int kItemBufferSize = 16384;
  static constexpr int kItemBufferLimit = kItemBufferSize - 24;  // a new group past this sends
  static constexpr int kCodeLengthCount = 19;
  static constexpr int kDistanceCount = 14;

  void StartItem() {
    if ((flag_mask_ >>= 1) != 0) return;
    flag_mask_ = 0x80;
    if (item_pos_ >= kItemBufferLimit) {
      SendBlock();
      item_pos_ = 0;
    }
    flag_pos_ = item_pos_++;
    items_[flag_pos_] = 0;
  }
  void SendBlock();
  void CountCodeLengthFrequencies();
  void WriteAuxLengths(int count, int width, int special);
  void WriteSymbolLengths();
  void PutCodeLengthSymbol(int c) { out_.Put(aux_lengths_[c], aux_codes_[c]); }

  Lh5BitWriter out_;
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

}  // namespace nolvo::codec
