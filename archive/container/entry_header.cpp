#include "archive/container/entry_header.h"

#include "platform/le_bytes.h"

namespace nolvo::container {

TCompressEntryHeader ParseEntryHeader(const std::array<std::uint8_t, kEntryHeaderSize>& bytes) {
  TCompressEntryHeader header;
  header.NameLength = platform::GetInt16(bytes.data() + 0);
  header.FileDate = platform::GetInt32(bytes.data() + 2);
  header.Attributes = platform::GetInt16(bytes.data() + 6);
  header.OriginalSize = platform::GetInt32(bytes.data() + 8);
  header.CompressedSize = platform::GetInt32(bytes.data() + 12);
  header.Method = static_cast<TCompressionMethod>(bytes[16]);
  header.Checksum = platform::GetUInt32(bytes.data() + 17);
  header.LockLevel = platform::GetInt32(bytes.data() + 21);
  return header;
}

std::array<std::uint8_t, kEntryHeaderSize> FormatEntryHeader(const TCompressEntryHeader& header) {
  std::array<std::uint8_t, kEntryHeaderSize> bytes{};
  platform::PutInt16(bytes.data() + 0, header.NameLength);
  platform::PutInt32(bytes.data() + 2, header.FileDate);
  platform::PutInt16(bytes.data() + 6, header.Attributes);
  platform::PutInt32(bytes.data() + 8, header.OriginalSize);
  platform::PutInt32(bytes.data() + 12, header.CompressedSize);
  bytes[16] = static_cast<std::uint8_t>(header.Method);
  platform::PutUInt32(bytes.data() + 17, header.Checksum);
  platform::PutInt32(bytes.data() + 21, header.LockLevel);
  return bytes;
}

}  // namespace nolvo::container
