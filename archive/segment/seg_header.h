#pragma once
// TSegHeader, the 21 bytes at the start of the logical stream:
//   0  4  "SHdr"
//   4  2  Reserved       not examined when reading; written as 0
//   6  2  ArchiveCount   word: number of scan records, and of archives
//   8 13  Reserved       not examined when reading; written as zeros

#include <array>
#include <cstdint>

namespace nolvo::segment {

inline constexpr std::size_t kSegHeaderSize = 21;
using TSegHeaderBytes = std::array<std::uint8_t, kSegHeaderSize>;

struct TSegHeader {
  std::uint16_t ArchiveCount = 0;
};

// Throws ESegError "Invalid Segment Header ID" when the bytes do not begin with "SHdr".
TSegHeader ParseSegHeader(const TSegHeaderBytes& bytes);
TSegHeaderBytes FormatSegHeader(const TSegHeader& header);

}  // namespace nolvo::segment
