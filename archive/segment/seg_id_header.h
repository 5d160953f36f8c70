#pragma once
// TSegIdHeader, the 8 bytes at the start of every segment file:
//   0  4  "SSeg"
//   4  2  Reserved        not examined when reading; written as 0
//   6  2  SegmentNumber   word: the segment's number, counting from 1

#include <array>
#include <cstdint>
#include <optional>

namespace nolvo::segment {

inline constexpr std::size_t kSegIdHeaderSize = 8;
using TSegIdBytes = std::array<std::uint8_t, kSegIdHeaderSize>;

struct TSegIdHeader {
  std::uint16_t Reserved = 0;
  std::uint16_t SegmentNumber = 0;
};

// Decodes the record; nothing when it does not begin with "SSeg". The caller decides which
// error that is (opening a segment and reading its record report it differently).
std::optional<TSegIdHeader> ParseSegIdHeader(const TSegIdBytes& bytes);
TSegIdBytes FormatSegIdHeader(const TSegIdHeader& header);

}  // namespace nolvo::segment
