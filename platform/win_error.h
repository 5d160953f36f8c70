#pragma once
// Win32 error codes that the file operations of the modelled machine return, and the
// typed failures of the machine itself (prefix, lock, code page).

#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>

#include "platform/platform_error.h"

namespace nolvo::platform {

// A Win32 status code as the machine's operations answer it: 0 is success, any other
// number is the Win32 error of that number. Only equality compares it; the number itself
// is value(), so a code is never tested as a truth value or counted with.
class [[nodiscard]] WinError {
 public:
  constexpr WinError() = default;  // success
  constexpr explicit WinError(std::uint32_t value) : value_(value) {}
  constexpr std::uint32_t value() const { return value_; }
  constexpr bool ok() const { return value_ == 0; }
  friend constexpr bool operator==(WinError, WinError) = default;

 private:
  std::uint32_t value_ = 0;
};

inline constexpr WinError kErrorSuccess{0};
inline constexpr WinError kErrorFileNotFound{2};
inline constexpr WinError kErrorPathNotFound{3};
inline constexpr WinError kErrorAccessDenied{5};
inline constexpr WinError kErrorNoMoreFiles{18};
inline constexpr WinError kErrorSharingViolation{32};
inline constexpr WinError kErrorHandleDiskFull{39};
inline constexpr WinError kErrorInvalidParameter{87};
inline constexpr WinError kErrorDiskFull{112};
inline constexpr WinError kErrorInvalidName{123};
inline constexpr WinError kErrorDirNotEmpty{145};
inline constexpr WinError kErrorBadPathname{161};
inline constexpr WinError kErrorAlreadyExists{183};
inline constexpr WinError kErrorFilenameExcedRange{206};
inline constexpr WinError kErrorDirectory{267};

// Writes "<number> (<description>)", for logs and test failures.
std::ostream& operator<<(std::ostream& out, WinError code);

// A short English description of a code, for messages and logs.
std::string ErrorText(WinError code);

// Maps a host errno value onto the closest Win32 code.
WinError ErrorFromErrno(int err);

// The prefix folder cannot be created, completed or written.
class EPrefixError : public EPlatformError {
 public:
  using EPlatformError::EPlatformError;
};

// Another holder has the prefix's setup lock.
class EPrefixLocked : public EPrefixError {
 public:
  using EPrefixError::EPrefixError;
};

// NOLVO_CODEPAGE (or a caller) named a code page the host cannot convert.
class ECodePageError : public EPlatformError {
 public:
  using EPlatformError::EPlatformError;
};

}  // namespace nolvo::platform
