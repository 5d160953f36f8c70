#pragma once
// Win32 error codes that the file operations of the modelled machine return, and the
// typed failures of the machine itself (prefix, lock, code page).

#include <cstdint>
#include <stdexcept>
#include <string>

namespace nolvo::platform {

inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorNoMoreFiles = 18;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorHandleDiskFull = 39;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorInvalidName = 123;
inline constexpr std::uint32_t kErrorDirNotEmpty = 145;
inline constexpr std::uint32_t kErrorBadPathname = 161;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorFilenameExcedRange = 206;
inline constexpr std::uint32_t kErrorDirectory = 267;

// A short English description of a code, for messages and logs.
std::string ErrorText(std::uint32_t code);

// Maps a host errno value onto the closest Win32 code.
std::uint32_t ErrorFromErrno(int err);

// The prefix folder cannot be created, completed or written.
class EPrefixError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Another holder has the prefix's setup lock.
class EPrefixLocked : public EPrefixError {
 public:
  using EPrefixError::EPrefixError;
};

// NOLVO_CODEPAGE (or a caller) named a code page the host cannot convert.
class ECodePageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace nolvo::platform
