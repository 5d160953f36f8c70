#include "archive/segment/seg_header.h"

#include "archive/segment/seg_error.h"
#include "archive/segment/seg_fields.h"
#include "platform/le_bytes.h"

namespace nolvo::segment {

TSegHeader ParseSegHeader(const TSegHeaderBytes& bytes) {
  if (!HasId(bytes.data(), "SHdr")) throw ESegError(ESegError::Kind::skInvalidSegmentHeader);
  TSegHeader header;
  header.ArchiveCount = platform::GetUInt16(bytes.data() + 6);
  return header;
}

TSegHeaderBytes FormatSegHeader(const TSegHeader& header) {
  TSegHeaderBytes bytes{};
  PutId(bytes.data(), "SHdr");
  platform::PutUInt16(bytes.data() + 6, header.ArchiveCount);
  return bytes;
}

}  // namespace nolvo::segment
