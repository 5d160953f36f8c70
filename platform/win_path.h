#pragma once
// Windows path text: GetFullPathName normalisation against per-drive current
// directories, and small helpers on "\"-separated paths. Pure text, no file system.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "platform/ascii.h"
#include "platform/win_error.h"

namespace nolvo::platform {

// The longest full path the ANSI entry points accept (MAX_PATH less the terminator).
inline constexpr std::size_t kMaxPath = 259;

// The current drive and one remembered directory per drive (default: the drive's root).
struct DriveDirectories {
  char current = 'C';                // upper-case letter of the current drive
  std::map<char, std::string> dirs;  // upper-case letter -> full directory path as set

  // The remembered directory of `letter` (any case), or its root "X:\".
  std::string Of(char letter) const;
  // Remembers `fullDir` (a full path such as "c:\FS\sub" or "A:\") for its drive.
  void Set(const std::string& fullDir);
};

// GetFullPathName: accepts "/" as a separator; makes "X:\a", "X:a", "X:", "\a" and "a"
// absolute against `dirs`; collapses repeated separators; resolves "." and ".."
// lexically (climbing above a root stays at the root); strips trailing dots and spaces
// of the last component; keeps a trailing separator and the caller's letter case.
// Returns 0 and the path in `out`, or kErrorInvalidName (empty path), kErrorBadPathname
// (UNC or device paths, "\\server\share") or kErrorFilenameExcedRange (over kMaxPath).
WinError FullPathName(std::string_view path, const DriveDirectories& dirs, std::string& out);

// Upper-case drive letter of a full path ("c:\x" -> 'C'), or 0 when it has none.
char DriveLetterOf(std::string_view fullPath);

// Whether `c` separates path components ("\" or "/").
inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Whether `c` may not appear in a file or folder name: a control character or one of <>:"|?*.
inline bool InvalidNameChar(char c) {
  return static_cast<unsigned char>(c) < 0x20 ||
         std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
}

}  // namespace nolvo::platform
