#include "platform/win_error.h"

#include <cerrno>

namespace nolvo::platform {

std::string ErrorText(std::uint32_t code) {
  switch (code) {
    case kErrorSuccess:
      return "The operation completed successfully.";
    case kErrorFileNotFound:
      return "The system cannot find the file specified.";
    case kErrorPathNotFound:
      return "The system cannot find the path specified.";
    case kErrorAccessDenied:
      return "Access is denied.";
    case kErrorNoMoreFiles:
      return "There are no more files.";
    case kErrorSharingViolation:
      return "The process cannot access the file because it is being used by another process.";
    case kErrorHandleDiskFull:
    case kErrorDiskFull:
      return "There is not enough space on the disk.";
    case kErrorInvalidParameter:
      return "The parameter is incorrect.";
    case kErrorInvalidName:
      return "The filename, directory name, or volume label syntax is incorrect.";
    case kErrorDirNotEmpty:
      return "The directory is not empty.";
    case kErrorBadPathname:
      return "The specified path is invalid (network paths are not supported).";
    case kErrorAlreadyExists:
      return "Cannot create a file when that file already exists.";
    case kErrorFilenameExcedRange:
      return "The filename or extension is too long.";
    case kErrorDirectory:
      return "The directory name is invalid.";
    default:
      return "Error " + std::to_string(code) + ".";
  }
}

std::uint32_t ErrorFromErrno(int err) {
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

}  // namespace nolvo::platform
