#include "archive/segment/seg_arc_header.h"

#include "archive/segment/seg_error.h"
#include "archive/segment/seg_fields.h"
#include "platform/le_bytes.h"

namespace nolvo::segment {

TSegArcHeader ParseSegArcHeader(const TSegArcBytes& bytes) {
  if (!HasId(bytes.data(), "SArc")) throw ESegError(ESegError::Kind::skInvalidArchiveId);
  TSegArcHeader header;
  header.Reserved = platform::GetUInt16(bytes.data() + 4);
  header.SequenceNumber = platform::GetUInt16(bytes.data() + 6);
  header.Reserved2 = platform::GetInt32(bytes.data() + 8);
  header.ArchiveLength = platform::GetInt32(bytes.data() + 12);
  if (header.ArchiveLength < 0) throw InvalidLength("ArchiveLength", header.ArchiveLength);
  return header;
}

TSegArcBytes FormatSegArcHeader(const TSegArcHeader& header) {
  TSegArcBytes bytes{};
  PutId(bytes.data(), "SArc");
  platform::PutUInt16(bytes.data() + 4, header.Reserved);
  platform::PutUInt16(bytes.data() + 6, header.SequenceNumber);
  platform::PutInt32(bytes.data() + 8, header.Reserved2);
  platform::PutInt32(bytes.data() + 12, header.ArchiveLength);
  return bytes;
}

}  // namespace nolvo::segment
