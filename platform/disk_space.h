#pragma once
// Free space of a drive, as GetDiskFreeSpaceEx reports it to the caller.

#include <cstdint>
#include <string_view>

#include "platform/machine.h"

namespace nolvo::platform {

// The bytes available to this user (f_bavail * f_frsize) on the volume holding `path`
// (a drive root such as "C:\" or any path on it; missing trailing parts are skipped).
// Returns a Win32 code (3 for a missing drive).
WinError GetDiskFreeSpace(const Machine& machine, std::string_view path, std::uint64_t& available);

// Narrows a byte count to a signed 32-bit value, saturating at 2147483647 instead of
// wrapping (so a large disk never looks full).
std::int32_t SaturateFreeSpace32(std::uint64_t bytes);

}  // namespace nolvo::platform
