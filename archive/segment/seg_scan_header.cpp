#include "archive/segment/seg_scan_header.h"

#include "archive/segment/seg_error.h"
#include "archive/segment/seg_fields.h"
#include "platform/le_bytes.h"

namespace nolvo::segment {

TSegScanHeader ParseSegScanHeader(const TSegScanBytes& bytes) {
  if (!HasId(bytes.data(), "Scan")) throw ESegError(ESegError::Kind::skInvalidScanId);
  TSegScanHeader header;
  header.TemplateLength = platform::GetUInt16(bytes.data() + 6);
  header.Flags = bytes[8];
  header.RecordLength = platform::GetInt32(bytes.data() + 9);
  header.ArchiveLength = platform::GetInt32(bytes.data() + 13);
  if (header.TemplateLength > kSegMaxRecordLength)
    throw InvalidLength("TemplateLength", header.TemplateLength);
  if (header.RecordLength < 0 || header.RecordLength > kSegMaxRecordLength)
    throw InvalidLength("RecordLength", header.RecordLength);
  if (header.ArchiveLength < 0) throw InvalidLength("ArchiveLength", header.ArchiveLength);
  return header;
}

TSegScanBytes FormatSegScanHeader(const TSegScanHeader& header) {
  TSegScanBytes bytes{};
  PutId(bytes.data(), "Scan");
  platform::PutUInt16(bytes.data() + 6, header.TemplateLength);
  bytes[8] = header.Flags;
  platform::PutInt32(bytes.data() + 9, header.RecordLength);
  platform::PutInt32(bytes.data() + 13, header.ArchiveLength);
  return bytes;
}

}  // namespace nolvo::segment
