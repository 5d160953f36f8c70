#pragma once
// Canonical prefix codes of the -lh5- method: the decoder's lookup table builder and
// the encoder's code assignment. Within one length codes go out in increasing symbol
// order, and shorter codes come before longer ones.

#include <cstdint>

namespace nolvo::codec {

// The longest code the format allows.
inline constexpr int kLh5MaxCodeLength = 16;
// Largest alphabet (the symbol code) and the size of the tree link arrays it needs.
inline constexpr int kLh5SymbolCount = 510;
inline constexpr int kLh5TreeSize = 2 * kLh5SymbolCount - 1;

// Fills `table` (2^table_bits entries) so that the entry at the next table_bits bits of
// a stream names the symbol whose code starts there. Codes longer than table_bits get
// a tree node (numbered upward from `count`) in their entry; `left`/`right` (indexed by
// node number, at least 2 * count - 1 entries) lead on with each further bit, 0 left
// and 1 right, to the symbol.
// Throws ELZHBadDecodeTable unless the lengths (each 0..16; 0 = symbol absent) form a
// complete prefix code, so the table and tree are always fully and safely defined.
void Lh5BuildTable(int count, const std::uint8_t* lengths, int table_bits, std::uint16_t* table,
                   std::uint16_t* left, std::uint16_t* right);

// Gives each symbol with a nonzero length its canonical code (right-aligned in `codes`).
void Lh5AssignCodes(int count, const std::uint8_t* lengths, std::uint16_t* codes);

}  // namespace nolvo::codec
