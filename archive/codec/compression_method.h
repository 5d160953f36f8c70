#pragma once
// The compression methods an archive entry can name (one byte in the entry record).

#include <cstdint>

namespace nolvo::codec {

enum class TCompressionMethod : std::uint8_t {
  coNone = 0,    // plain copy, handled by the container
  coRLE = 1,     // run-length code with an escape byte
  coLZH = 2,     // LZHUF: LZSS with adaptive Huffman coding
  coCustom = 3,  // the container's user event
  coLZH5 = 4,    // the -lh5- method of the LHA format
};

}  // namespace nolvo::codec
