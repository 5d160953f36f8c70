#include "archive/segment/seg_arc_header.h"

#include "archive/segment/seg_error.h"
#include "archive/segment/seg_fields.h"

namespace nolvo::segment {

TSegArcHeader ParseSegArcHeader(const TSegArcBytes& bytes) {
  if (!HasId(bytes.data(), "SArc")) throw ESegError(ESegError::Kind::skInvalidArchiveId);
  TSegArcHeader header;
  header.Reserved = GetWord(bytes.data() + 4);
  header.SequenceNumber = GetWord(bytes.data() + 6);
  header.Reserved2 = GetInt32(bytes.data() + 8);
  header.ArchiveLength = GetInt32(bytes.data() + 12);
  if (header.ArchiveLength < 0) throw InvalidLength("ArchiveLength", header.ArchiveLength);
  return header;
}

TSegArcBytes FormatSegArcHeader(const TSegArcHeader& header) {
  TSegArcBytes bytes{};
  PutId(bytes.data(), "SArc");
  PutWord(bytes.data() + 4, header.Reserved);
  PutWord(bytes.data() + 6, header.SequenceNumber);
  PutInt32(bytes.data() + 8, header.Reserved2);
  PutInt32(bytes.data() + 12, header.ArchiveLength);
  return bytes;
}

}  // namespace nolvo::segment
