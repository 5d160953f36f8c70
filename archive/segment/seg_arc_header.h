#pragma once
// TSegArcHeader, the 16 bytes before each archive in the stream:
//   0  4  "SArc"
//   4  2  Reserved         not examined when reading; written as 0
//   6  2  SequenceNumber   word: index of the archive, from 0 in scan-record order
//   8  4  Reserved2        not examined when reading; written as 0
//  12  4  ArchiveLength    int32: bytes of compressed archive that follow

#include <array>
#include <cstdint>

namespace nolvo::segment {

inline constexpr std::size_t kSegArcHeaderSize = 16;
using TSegArcBytes = std::array<std::uint8_t, kSegArcHeaderSize>;

struct TSegArcHeader {
  std::uint16_t Reserved = 0;
  std::uint16_t SequenceNumber = 0;
  std::int32_t Reserved2 = 0;
  std::int32_t ArchiveLength = 0;
};

// Throws ESegError "Invalid Archive ID Header" when the bytes do not begin with "SArc",
// and an invalid-length ESegError for a negative ArchiveLength.
TSegArcHeader ParseSegArcHeader(const TSegArcBytes& bytes);
TSegArcBytes FormatSegArcHeader(const TSegArcHeader& header);

}  // namespace nolvo::segment
