#pragma once
// The 25-byte entry header that precedes each stored file, followed by the name and data:
//   0  2  NameLength      int16 n
//   2  4  FileDate        DOS date (high 16 bits) and time (low 16 bits), local time
//   6  2  Attributes      int16 file attribute bits
//   8  4  OriginalSize    int32
//  12  4  CompressedSize  int32: stored data bytes after the name
//  16  1  Method          TCompressionMethod ordinal
//  17  4  Checksum        byte sum of the original file (plus the key when locked)
//  21  4  LockLevel       int32: 0 open; 2 locked and scrambled; other values above 0 locked
//  25  n  name, then CompressedSize bytes of data

#include <array>
#include <cstdint>

#include "archive/container/compression_method.h"

namespace nolvo::container {

inline constexpr std::size_t kEntryHeaderSize = 25;
// The lock level of an entry whose stored data are scrambled with the key.
inline constexpr std::int32_t kLockScrambled = 2;

struct TCompressEntryHeader {
  std::int16_t NameLength = 0;
  std::int32_t FileDate = 0;
  std::int16_t Attributes = 0;
  std::int32_t OriginalSize = 0;
  std::int32_t CompressedSize = 0;
  TCompressionMethod Method = TCompressionMethod::coNone;
  std::uint32_t Checksum = 0;
  std::int32_t LockLevel = 0;

  bool Locked() const { return LockLevel > 0; }
};

TCompressEntryHeader ParseEntryHeader(const std::array<std::uint8_t, kEntryHeaderSize>& bytes);
std::array<std::uint8_t, kEntryHeaderSize> FormatEntryHeader(const TCompressEntryHeader& header);

}  // namespace nolvo::container
