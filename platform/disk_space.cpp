#include "platform/disk_space.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <limits>

#include "platform/win_error.h"

namespace nolvo::platform {

WinError GetDiskFreeSpace(const Machine& machine, std::string_view path, std::uint64_t& available) {
  available = 0;
  std::string full;
  if (const WinError e = machine.FullPath(path, full); e != kErrorSuccess) return e;
  const auto root = machine.DriveRoot(full[0]);
  if (!root) return kErrorPathNotFound;
  // The deepest existing folder of the path decides the volume.
  std::filesystem::path host = *root;
  const ResolvedPath r = machine.Resolve(full);
  if (r.error == kErrorSuccess) host = r.exists ? r.host : r.host.parent_path();
  struct statvfs vfs {};
  if (::statvfs(host.c_str(), &vfs) != 0) return ErrorFromErrno(errno);
  available = static_cast<std::uint64_t>(vfs.f_bavail) * static_cast<std::uint64_t>(vfs.f_frsize);
  return kErrorSuccess;
}

std::int32_t SaturateFreeSpace32(std::uint64_t bytes) {
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(bytes > kMax ? kMax : bytes);
}

}  // namespace nolvo::platform
