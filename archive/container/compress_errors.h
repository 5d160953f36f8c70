#pragma once
// The failures of the compressed archive component. Each class carries its fixed message;
// callers tell them apart by type. Decoder failures (bad code tables, compression that
// cannot make data smaller) are the codec layer's classes.

#include <stdexcept>
#include <string>

namespace nolvo::container {

// The first five header bytes are not "VELK" and 0x1A.
class EInvalidHeader : public std::runtime_error {
 public:
  EInvalidHeader();
};

// The archive header's type byte is not 1 (caMulti).
class EInvalidHeaderArchiveType : public std::runtime_error {
 public:
  EInvalidHeaderArchiveType();
};

// The header's method id is none of the five ids and no OnRecognize handler accepted it.
class EUnrecognizedCompressionMethod : public std::runtime_error {
 public:
  explicit EUnrecognizedCompressionMethod(const std::string& compress_id);
};

// The free-space test failed for `path` (raised before the file is created).
class EInsufficientDiskSpace : public std::runtime_error {
 public:
  explicit EInsufficientDiskSpace(const std::string& path);
};

// A locked entry met without a key, with a wrong key, or with a corrupt code table.
class EInvalidKey : public std::runtime_error {
 public:
  EInvalidKey();
};

// An unlocked entry expanded to bytes whose sum differs from the stored checksum.
class EBadChecksum : public std::runtime_error {
 public:
  EBadChecksum();
};

// The archive is cut or damaged inside an entry: a partial entry header, a negative length,
// or a name or stored data that run past the end of the file.
class EDamagedArchive : public std::runtime_error {
 public:
  enum class Reason { kShortEntryHeader, kNegativeLength, kNameTooLong, kDataTooLong };
  explicit EDamagedArchive(Reason reason);
  Reason Why() const { return reason_; }

 private:
  Reason reason_;
};

// A file or name that an archive cannot hold: sizes and the archive total are 32-bit
// signed fields, names at most 32767 bytes.
class EArchiveLimit : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace nolvo::container
