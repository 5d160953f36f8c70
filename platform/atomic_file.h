#pragma once
// Whole-file replacement in one step. The new content goes to a fresh temporary file in
// the target's own folder, is flushed to the disk (fsync) and then renamed over the
// target, so a reader sees either the complete old file or the complete new one. On any
// failure the old file stays as it was and the temporary file is removed.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>
#include <system_error>
#include <vector>

namespace nolvo::platform {

// Replaces (or creates) the host file `path` with `bytes`. `beforeRename`, when given, is
// called with the complete temporary file's path just before it takes the name `path`;
// false stops the write there (ECANCELED) and leaves `path` as it was.
// Returns an empty error_code on success, otherwise the host error (errno category) of
// the step that failed: a missing folder (ENOENT), a target that is a directory (EISDIR),
// a failed write (EFBIG, ENOSPC, ...). A new file gets mode 0666 less the umask; a
// replaced file keeps its permission bits. A symbolic link at `path` is replaced by the
// new file, not followed. Never throws.
using BeforeRename = std::function<bool(const std::filesystem::path& temp)>;
std::error_code WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                                const BeforeRename& beforeRename = {}) noexcept;
std::error_code WriteFileAtomic(const std::filesystem::path& path,
                                std::span<const std::uint8_t> bytes,
                                const BeforeRename& beforeRename = {}) noexcept;

// The temporary files WriteFileAtomic gave `path` in runs that are no longer running (a
// process killed between making one and renaming it): plain files named
// ".<name>.tmp<process id>-<number>" beside `path`, of process ids that are not alive.
std::vector<std::filesystem::path> LeftoverTemporaries(const std::filesystem::path& path);

// As WriteFileAtomic, but raises std::filesystem::filesystem_error (naming the path) on
// failure.
void WriteFileAtomicOrThrow(const std::filesystem::path& path, std::string_view bytes);

}  // namespace nolvo::platform
