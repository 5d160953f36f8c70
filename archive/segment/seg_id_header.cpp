#include "archive/segment/seg_id_header.h"

#include "archive/segment/seg_fields.h"
#include "platform/le_bytes.h"

namespace nolvo::segment {

std::optional<TSegIdHeader> ParseSegIdHeader(const TSegIdBytes& bytes) {
  if (!HasId(bytes.data(), "SSeg")) return std::nullopt;
  TSegIdHeader header;
  header.Reserved = platform::GetUInt16(bytes.data() + 4);
  header.SegmentNumber = platform::GetUInt16(bytes.data() + 6);
  return header;
}

TSegIdBytes FormatSegIdHeader(const TSegIdHeader& header) {
  TSegIdBytes bytes{};
  PutId(bytes.data(), "SSeg");
  platform::PutUInt16(bytes.data() + 4, header.Reserved);
  platform::PutUInt16(bytes.data() + 6, header.SegmentNumber);
  return bytes;
}

}  // namespace nolvo::segment
