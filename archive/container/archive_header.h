#pragma once
// The 21-byte archive header at the start of every compressed archive file:
//   0  4  "VELK"            signature
//   4  1  0x1A              signature end
//   5  3  MethodId          "NON", "RLE", "LZH", "CUS", "LH5" or a custom id
//   8  4  TotalSize         int32: sum of the entries' original sizes
//  12  1  ArchiveType       1 (caMulti)
//  13  4  Reserved13        int32, written as 0, not examined when reading
//  17  4  Reserved17        int32, 0, or 2 when written while the key is above 0

#include <array>
#include <cstdint>
#include <string>

#include "archive/container/compression_method.h"

namespace nolvo::container {

inline constexpr std::size_t kArchiveHeaderSize = 21;
inline constexpr std::uint8_t caMulti = 1;

struct TCompressHeader {
  std::string MethodId = "NON";  // exactly three bytes when read from a file
  std::int32_t TotalSize = 0;
  std::uint8_t ArchiveType = caMulti;
  std::int32_t Reserved13 = 0;
  std::int32_t Reserved17 = 0;
};

// The header a writer puts in a new archive (also the one assumed for a file too short to
// hold a header): TotalSize 0, caMulti, offset 17 holding 2 when `key` is above 0.
TCompressHeader NewArchiveHeader(TCompressionMethod method, std::int32_t key);

// Decodes the 21 header bytes. Throws EInvalidHeader when the signature is not "VELK" 0x1A,
// EInvalidHeaderArchiveType when the type is not caMulti. The method id is not checked here.
TCompressHeader ParseArchiveHeader(const std::array<std::uint8_t, kArchiveHeaderSize>& bytes);

// Encodes `header`; MethodId is written as its first three bytes, padded with zeros.
std::array<std::uint8_t, kArchiveHeaderSize> FormatArchiveHeader(const TCompressHeader& header);

}  // namespace nolvo::container
