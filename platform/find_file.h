#pragma once
// FindFirstFile / FindNextFile over the modelled machine. The finder takes a snapshot
// of the matching entries when it is made: "." and ".." first in a directory that is
// not a drive root, then the other names sorted case-insensitively. Patterns use "*"
// and "?" without regard to case; "*.*" matches every name, with or without a dot.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine.h"

namespace nolvo::platform {

struct FindData {
  std::string name;              // ANSI name; '?' for characters the code page lacks
  std::uint32_t attributes = 0;  // as GetFileAttributes reports them
  std::uint64_t size = 0;        // bytes (0 for directories)
  std::int64_t lastWrite = 0;    // Unix seconds
};

// Whether `name` matches the wildcard `pattern` by the rules above.
bool MatchesPattern(std::string_view pattern, std::string_view name);

class FileFinder {
 public:
  // FindFirstFile of `pattern`, such as "C:\WINDOWS\Temp\q\*.*".
  FileFinder(const Machine& machine, std::string_view pattern);

  // 0 when at least one entry matched; 2 when none did; 3 when the folder is
  // missing; 123 for an invalid folder name.
  WinError Error() const { return error_; }
  // The next entry into `out`; false when no entry is left (ERROR_NO_MORE_FILES).
  bool Next(FindData& out);

 private:
  std::vector<FindData> entries_;
  std::size_t next_ = 0;
  WinError error_;
};

}  // namespace nolvo::platform
