#pragma once
// TSegScanHeader, the 17 bytes that open each scan record:
//   0  4  "Scan"
//   4  2  Reserved         not examined when reading; written as 0
//   6  2  TemplateLength   word: bytes of template text that follow
//   8  1  Flags            copied into the archive's ArcFlags
//   9  4  RecordLength     int32: width of one record of the list file
//  13  4  ArchiveLength    int32: bytes of list archive after the template text

#include <array>
#include <cstdint>

namespace nolvo::segment {

inline constexpr std::size_t kSegScanHeaderSize = 17;
// The largest template and list record a reader accepts (the size of its work buffer).
inline constexpr std::int32_t kSegMaxRecordLength = 8192;
using TSegScanBytes = std::array<std::uint8_t, kSegScanHeaderSize>;

struct TSegScanHeader {
  std::uint16_t TemplateLength = 0;
  std::uint8_t Flags = 0;
  std::int32_t RecordLength = 0;
  std::int32_t ArchiveLength = 0;
};

// Throws ESegError "Invalid Scan ID Header" when the bytes do not begin with "Scan", and
// an invalid-length ESegError when TemplateLength is above 8192, RecordLength is not 0 to
// 8192 or ArchiveLength is negative, so that no later step touches a buffer with such a
// length. (An empty template is valid; a RecordLength of 0 is valid for an empty list
// file, which the reader checks once it has the list file.)
TSegScanHeader ParseSegScanHeader(const TSegScanBytes& bytes);
TSegScanBytes FormatSegScanHeader(const TSegScanHeader& header);

}  // namespace nolvo::segment
