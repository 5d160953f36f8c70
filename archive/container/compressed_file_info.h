#pragma once
// What a listing reports about one entry.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/container/compression_method.h"

namespace nolvo::container {

struct TCompressedFileInfo {
  std::int32_t FileDate = 0;  // DOS date in the high 16 bits, DOS time in the low 16 bits
  std::int16_t Attributes = 0;
  std::int32_t OriginalSize = 0;
  std::int32_t CompressedSize = 0;
  TCompressionMethod Method = TCompressionMethod::coNone;
  std::uint32_t Checksum = 0;
  std::int64_t EntryPosition = 0;  // offset of the entry header from the start of the file
  bool Locked = false;             // LockLevel above 0
};

// One listed entry: the stored name with its information attached.
struct TListedEntry {
  std::string Name;
  TCompressedFileInfo Info;
};

using TCompressedFileList = std::vector<TListedEntry>;

}  // namespace nolvo::container
