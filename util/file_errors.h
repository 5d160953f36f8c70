#pragma once
// The errors the file and system utilities raise, each carrying its fixed message.

#include <stdexcept>
#include <string>

namespace nolvo::util {

// Common base of the utilities' errors, so that callers can catch them together.
class EUtilError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A file could not be opened, created or written.
class EFileError : public EUtilError {
 public:
  using EUtilError::EUtilError;
};
// "Cannot open file %s"
class EFOpenError : public EFileError {
 public:
  using EFileError::EFileError;
};
// "Cannot create file %s"
class EFCreateError : public EFileError {
 public:
  using EFileError::EFileError;
};
// "Cannot write file %s"
class EFWriteError : public EFileError {
 public:
  using EFileError::EFileError;
};
// "Cannot read file %s"
class EFReadError : public EFileError {
 public:
  using EFileError::EFileError;
};
// An input/output failure such as "Unable to create directory".
class EInOutError : public EUtilError {
 public:
  using EUtilError::EUtilError;
};

}  // namespace nolvo::util
