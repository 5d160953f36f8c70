#include "archive/container/entry_header.h"

#include "archive/container/le_fields.h"

namespace nolvo::container {

TCompressEntryHeader ParseEntryHeader(const std::array<std::uint8_t, kEntryHeaderSize>& bytes) {
  TCompressEntryHeader header;
  header.NameLength = GetInt16(bytes.data() + 0);
  header.FileDate = GetInt32(bytes.data() + 2);
  header.Attributes = GetInt16(bytes.data() + 6);
  header.OriginalSize = GetInt32(bytes.data() + 8);
  header.CompressedSize = GetInt32(bytes.data() + 12);
  header.Method = static_cast<TCompressionMethod>(bytes[16]);
  header.Checksum = GetUInt32(bytes.data() + 17);
  header.LockLevel = GetInt32(bytes.data() + 21);
  return header;
}

std::array<std::uint8_t, kEntryHeaderSize> FormatEntryHeader(const TCompressEntryHeader& header) {
  std::array<std::uint8_t, kEntryHeaderSize> bytes{};
  PutInt16(bytes.data() + 0, header.NameLength);
  PutInt32(bytes.data() + 2, header.FileDate);
  PutInt16(bytes.data() + 6, header.Attributes);
  PutInt32(bytes.data() + 8, header.OriginalSize);
  PutInt32(bytes.data() + 12, header.CompressedSize);
  bytes[16] = static_cast<std::uint8_t>(header.Method);
  PutUInt32(bytes.data() + 17, header.Checksum);
  PutInt32(bytes.data() + 21, header.LockLevel);
  return bytes;
}

}  // namespace nolvo::container
