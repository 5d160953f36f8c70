#pragma once
// Whether Wine's server runs for a prefix. While it runs it holds the prefix's registry in
// memory and writes it back over the hive files when it exits, so nothing may edit those
// files meanwhile.
//
// The server keeps a lock on the file "lock" in its folder
// <tmp>/<base>/server-<device hex>-<inode hex> (device and inode of the prefix folder),
// where <base> is ".wine-<uid>", or the name Debian's Wine records in the prefix's file
// "wineserver"; <tmp> is /tmp (and TMPDIR when set).

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "platform/platform_error.h"

namespace nolvo::platform {

// Raised when the prefix's hive files cannot be written because Wine runs in it.
class EWineRunning : public EPlatformError {
 public:
  explicit EWineRunning(const std::filesystem::path& prefix);
};

// Whether a Wine server holds the lock of the prefix at `prefix`.
bool WineServerRunning(const std::filesystem::path& prefix);

// Waits until no server runs for `prefix` (a server ends a few seconds after the last
// program of its prefix), at most `timeout`. True when none runs in the end.
bool WaitForWineServerExit(const std::filesystem::path& prefix, std::chrono::milliseconds timeout);

// How long the tools wait for a server that is about to end before they give up.
inline constexpr std::chrono::milliseconds kWineServerGrace{6000};

}  // namespace nolvo::platform
