#include "platform/win_error.h"

#include <cerrno>
#include <ostream>

namespace nolvo::platform {

std::string ErrorText(WinError code) {
  switch (code.value()) {
    case kErrorSuccess.value():
      return "The operation completed successfully.";
    case kErrorFileNotFound.value():
      return "The system cannot find the file specified.";
    case kErrorPathNotFound.value():
      return "The system cannot find the path specified.";
    case kErrorAccessDenied.value():
      return "Access is denied.";
    case kErrorNoMoreFiles.value():
      return "There are no more files.";
    case kErrorSharingViolation.value():
      return "The process cannot access the file because it is being used by another process.";
    case kErrorHandleDiskFull.value():
    case kErrorDiskFull.value():
      return "There is not enough space on the disk.";
    case kErrorInvalidParameter.value():
      return "The parameter is incorrect.";
    case kErrorInvalidName.value():
      return "The filename, directory name, or volume label syntax is incorrect.";
    case kErrorDirNotEmpty.value():
      return "The directory is not empty.";
    case kErrorBadPathname.value():
      return "The specified path is invalid (network paths are not supported).";
    case kErrorAlreadyExists.value():
      return "Cannot create a file when that file already exists.";
    case kErrorFilenameExcedRange.value():
      return "The filename or extension is too long.";
    case kErrorDirectory.value():
      return "The directory name is invalid.";
    default:
      return "Error " + std::to_string(code.value()) + ".";
  }
}

WinError ErrorFromErrno(int err) {
  switch (err) {
    case 0:
      return kErrorSuccess;
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return kErrorAccessDenied;
    case EBUSY:
    case ETXTBSY:
      return kErrorSharingViolation;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case ENAMETOOLONG:
      return kErrorFilenameExcedRange;
    case EEXIST:
      return kErrorAlreadyExists;
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case EINVAL:
    case EILSEQ:
      return kErrorInvalidName;
    default:
      return kErrorAccessDenied;
  }
}

std::ostream& operator<<(std::ostream& out, WinError code) {
  return out << code.value() << " (" << ErrorText(code) << ")";
}

}  // namespace nolvo::platform
