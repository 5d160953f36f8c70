#include "archive/codec/lh5_table.h"

#include <algorithm>

#include "archive/codec/codec_errors.h"

namespace nolvo::codec {

void Lh5BuildTable(int count, const std::uint8_t* lengths, int table_bits, std::uint16_t* table,
                   std::uint16_t* left, std::uint16_t* right) {
  std::uint32_t number[kLh5MaxCodeLength + 1] = {};
  for (int s = 0; s < count; ++s) {
    if (lengths[s] > kLh5MaxCodeLength) throw ELZHBadDecodeTable();
    ++number[lengths[s]];
  }
  // The weighted sum must be exactly 2^16: less leaves table entries without a
  // symbol, more would hand out codes past the table's end.
  std::uint32_t start[kLh5MaxCodeLength + 2];
  std::uint32_t weight[kLh5MaxCodeLength + 1];
  start[1] = 0;
  for (int len = 1; len <= kLh5MaxCodeLength; ++len) {
    weight[len] = 1u << (kLh5MaxCodeLength - len);
    start[len + 1] = start[len] + number[len] * weight[len];
  }
  if (start[kLh5MaxCodeLength + 1] != (1u << kLh5MaxCodeLength)) throw ELZHBadDecodeTable();

  const int shift = kLh5MaxCodeLength - table_bits;
  for (int len = 1; len <= table_bits; ++len) {
    start[len] >>= shift;
    weight[len] >>= shift;
  }
  const std::uint32_t table_size = 1u << table_bits;
  const std::uint32_t first_free = start[table_bits + 1] >> shift;
  std::fill(table + std::min(first_free, table_size), table + table_size, std::uint16_t{0});

  std::uint16_t next_node = static_cast<std::uint16_t>(count);
  for (int s = 0; s < count; ++s) {
    const int len = lengths[s];
    if (len == 0) continue;
    const std::uint32_t end = start[len] + weight[len];
    if (len <= table_bits) {
      std::fill(table + start[len], table + end, static_cast<std::uint16_t>(s));
    } else {
      std::uint32_t code = start[len];
      std::uint16_t* slot = &table[code >> shift];
      code <<= table_bits;
      for (int i = len - table_bits; i > 0; --i) {
        if (*slot == 0) {
          left[next_node] = right[next_node] = 0;
          *slot = next_node++;
        }
        slot = (code & 0x8000u) ? &right[*slot] : &left[*slot];
        code <<= 1;
      }
      *slot = static_cast<std::uint16_t>(s);
    }
    start[len] = end;
  }
}

void Lh5AssignCodes(int count, const std::uint8_t* lengths, std::uint16_t* codes) {
  std::uint32_t number[kLh5MaxCodeLength + 1] = {};
  for (int s = 0; s < count; ++s) ++number[lengths[s]];
  std::uint32_t start[kLh5MaxCodeLength + 2];
  start[1] = 0;
  for (int len = 1; len <= kLh5MaxCodeLength; ++len)
    start[len + 1] = (start[len] + number[len]) << 1;
  for (int s = 0; s < count; ++s) {
    if (lengths[s] != 0) codes[s] = static_cast<std::uint16_t>(start[lengths[s]]++);
  }
}

}  // namespace nolvo::codec
