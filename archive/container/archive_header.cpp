#include "archive/container/archive_header.h"

#include <cstring>

#include "archive/container/compress_errors.h"
#include "platform/le_bytes.h"

namespace nolvo::container {

namespace {
constexpr std::uint8_t kSignature[5] = {'V', 'E', 'L', 'K', 0x1A};
}

TCompressHeader NewArchiveHeader(TCompressionMethod method, std::int32_t key) {
  TCompressHeader header;
  header.MethodId = MethodIdText(method);
  if (header.MethodId.empty()) header.MethodId = "NON";
  header.Reserved17 = key > 0 ? 2 : 0;
  return header;
}

TCompressHeader ParseArchiveHeader(const std::array<std::uint8_t, kArchiveHeaderSize>& bytes) {
  if (std::memcmp(bytes.data(), kSignature, sizeof kSignature) != 0) throw EInvalidHeader();
  TCompressHeader header;
  header.MethodId.assign(reinterpret_cast<const char*>(bytes.data() + 5), 3);
  header.TotalSize = platform::GetInt32(bytes.data() + 8);
  header.ArchiveType = bytes[12];
  header.Reserved13 = platform::GetInt32(bytes.data() + 13);
  header.Reserved17 = platform::GetInt32(bytes.data() + 17);
  if (header.ArchiveType != caMulti) throw EInvalidHeaderArchiveType();
  return header;
}

std::array<std::uint8_t, kArchiveHeaderSize> FormatArchiveHeader(const TCompressHeader& header) {
  std::array<std::uint8_t, kArchiveHeaderSize> bytes{};
  std::memcpy(bytes.data(), kSignature, sizeof kSignature);
  for (std::size_t i = 0; i < 3 && i < header.MethodId.size(); ++i) {
    bytes[5 + i] = static_cast<std::uint8_t>(header.MethodId[i]);
  }
  platform::PutInt32(bytes.data() + 8, header.TotalSize);
  bytes[12] = header.ArchiveType;
  platform::PutInt32(bytes.data() + 13, header.Reserved13);
  platform::PutInt32(bytes.data() + 17, header.Reserved17);
  return bytes;
}

}  // namespace nolvo::container
