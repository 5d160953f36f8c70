#include "archive/segment/seg_id_header.h"

#include "archive/segment/seg_fields.h"

namespace nolvo::segment {

std::optional<TSegIdHeader> ParseSegIdHeader(const TSegIdBytes& bytes) {
  if (!HasId(bytes.data(), "SSeg")) return std::nullopt;
  TSegIdHeader header;
  header.Reserved = GetWord(bytes.data() + 4);
  header.SegmentNumber = GetWord(bytes.data() + 6);
  return header;
}

TSegIdBytes FormatSegIdHeader(const TSegIdHeader& header) {
  TSegIdBytes bytes{};
  PutId(bytes.data(), "SSeg");
  PutWord(bytes.data() + 4, header.Reserved);
  PutWord(bytes.data() + 6, header.SegmentNumber);
  return bytes;
}

}  // namespace nolvo::segment
