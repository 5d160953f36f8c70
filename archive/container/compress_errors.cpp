#include "archive/container/compress_errors.h"

namespace nolvo::container {

EInvalidHeader::EInvalidHeader() : std::runtime_error("Can't recognize compressed file header") {}

EInvalidHeaderArchiveType::EInvalidHeaderArchiveType()
    : std::runtime_error("Archive type must be caMulti") {}

EUnrecognizedCompressionMethod::EUnrecognizedCompressionMethod(const std::string& compress_id)
    : std::runtime_error("Unrecognized compression method: \"" + compress_id + "\" in header") {}

EInsufficientDiskSpace::EInsufficientDiskSpace(const std::string& path)
    : std::runtime_error("Not enough disk space to expand " + path) {}

EInvalidKey::EInvalidKey() : std::runtime_error("File locked -- valid key required") {}

EBadChecksum::EBadChecksum()
    : std::runtime_error("Bad checksum during expansion -- data may be invalid") {}

namespace {
const char* DamageText(EDamagedArchive::Reason reason) {
  switch (reason) {
    case EDamagedArchive::Reason::kShortEntryHeader:
      return "Compressed file is damaged -- it ends inside an entry header";
    case EDamagedArchive::Reason::kNegativeLength:
      return "Compressed file is damaged -- negative length in an entry header";
    case EDamagedArchive::Reason::kNameTooLong:
      return "Compressed file is damaged -- an entry name runs past the end of the file";
    case EDamagedArchive::Reason::kDataTooLong:
      return "Compressed file is damaged -- entry data run past the end of the file";
  }
  return "Compressed file is damaged";
}
}  // namespace

EDamagedArchive::EDamagedArchive(Reason reason)
    : std::runtime_error(DamageText(reason)), reason_(reason) {}

}  // namespace nolvo::container
