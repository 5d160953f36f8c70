#pragma once
// Construction of the -lh5- encoder's Huffman codes from symbol frequencies, limited to
// 16-bit codes, with the tie rules that fix which lengths each symbol gets.

#include <cstdint>

namespace nolvo::codec {

// Builds a code for `count` symbols (count <= 510) from freq[0..count-1]. `freq` must
// have room for 2 * count - 1 entries (the tree's inner nodes are counted there).
// Writes each symbol's length (0 when absent) and canonical code. Returns the root:
// a node number >= count for a real code, or the only symbol (0 when none) when fewer
// than two occur; that symbol then has length 0.
int Lh5MakeCode(int count, std::uint32_t* freq, std::uint8_t* lengths, std::uint16_t* codes);

}  // namespace nolvo::codec
