// Free space and directory creation for output paths.

#include <limits>
#include <vector>

#include "archive/container/compress.h"
#include "archive/container/compress_files.h"
#include "platform/ascii.h"
#include "platform/disk_space.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "platform/win_error.h"
#include "util/file_errors.h"

namespace nolvo::container {

namespace {
constexpr std::int64_t kUnlimited = std::numeric_limits<std::int32_t>::max();
}

std::int64_t TCompress::CheckFreeSpace(const std::string& path) const {
  if (!check_space_) return kUnlimited;
  const std::string upper = platform::AsciiUpper(path);
  char drive = 0;
  if (upper.size() >= 2 && upper[1] == ':') {
    drive = upper[0];
  } else {
    const std::string& current = machine_.GetCurrentDirectory();
    if (current.size() >= 2 && current[1] == ':')
      drive = platform::AsciiUpper(current.substr(0, 1))[0];
  }
  if (drive < 'A' || drive > 'Z') return kUnlimited;

  std::uint64_t available = 0;
  const std::string root = std::string(1, drive) + ":\\";
  if (platform::GetDiskFreeSpace(machine_, root, available) != platform::kErrorSuccess) {
    return kUnlimited;
  }
  constexpr std::uint64_t kCap = std::numeric_limits<std::int64_t>::max() / 2;
  std::int64_t free = static_cast<std::int64_t>(available > kCap ? kCap : available);
  // The file at the path is about to be replaced: its bytes come free.
  const platform::ResolvedPath resolved = machine_.Resolve(path);
  if (resolved.error.ok() && resolved.exists && !resolved.isDirectory) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(resolved.host, ec);
    if (!ec) free += static_cast<std::int64_t>(size);
  }
  return free;
}

void TCompress::MakeDirectoryPath(const std::string& path) const {
  // Walk up to the first directory that exists, or to a path shorter than 3 characters (a
  // drive such as "C:", a root such as "\", or a name that short is never made), then
  // create the missing ones outermost first. Only prefix lengths are kept, so a long path
  // costs no copies.
  std::vector<std::size_t> missing;  // innermost first
  std::size_t length = path.size();
  while (true) {
    if (length > 0 && path[length - 1] == '\\') --length;
    if (length < 3) break;
    if (platform::DirectoryExists(machine_, path.substr(0, length))) break;
    missing.push_back(length);
    // The parent ends at the last backslash or colon before the name's last character.
    const auto parent_end = length >= 2 ? path.find_last_of("\\:", length - 2) : std::string::npos;
    length = parent_end == std::string::npos ? 0 : parent_end + 1;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (platform::CreateDirectory(machine_, path.substr(0, *it)) != platform::kErrorSuccess) {
      throw util::EInOutError("Unable to create directory");
    }
  }
}

}  // namespace nolvo::container
