#pragma once
// Putting one file and one directory path into place for the engine, knowing exactly what
// was made: a copy is written under a temporary name in the target's folder and takes
// the target's name only once complete, so an interrupted copy never leaves a truncated
// file under a product file's name (and never half-replaces an existing one).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine.h"

namespace nolvo::setup {

struct InstalledFile {
  std::string target;  // full Windows path
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // ns since 1970
};

// Whether `name` (a file name) is one InstallFile gives its temporary files.
bool IsTemporaryName(std::string_view name);

// Copies `source` to the file `target` (Windows paths). An existing target keeps its
// spelling and is replaced in one step; the new file has the current time and normal
// attributes. `beforeTemp` is called with the temporary file's Windows path before it is
// made; `checkpoint` runs between blocks and may throw to stop the copy; `beforeName` is
// called with the complete file's target, size and time just before it takes the target's
// name (so that it can be recorded before it is there). On any failure
// the temporary file is removed and the target is as it was. Raises util::EFOpenError
// "Cannot open file <source>", util::EFCreateError "Cannot create file <target>" (also for
// a target that is a folder, or a read-only, hidden or system file), util::EFReadError or
// util::EFWriteError; passes on what `checkpoint` throws.
InstalledFile InstallFile(const platform::Machine& machine, const std::string& source,
                          const std::string& target,
                          const std::function<void(const std::string&)>& beforeTemp,
                          const std::function<void()>& checkpoint,
                          const std::function<void(const InstalledFile&)>& beforeName = {});

// Puts the file `source`, a temporary copy nothing needs after this, into place as
// `target` by renaming it, with the metadata a fresh copy gets (the current time, normal
// attributes, the default permissions), so the result is that of InstallFile followed by
// deleting `source`. Nothing (and `source` as it was, but for its metadata) when it cannot
// be renamed there (another file system, no plain file); the caller copies instead. Raises
// util::EFCreateError as InstallFile does for a target that cannot be replaced.
// `beforeName` is called as InstallFile calls it; what it throws leaves `source` in place.
std::optional<InstalledFile> MoveFileIntoPlace(
    const platform::Machine& machine, const std::string& source, const std::string& target,
    const std::function<void(const InstalledFile&)>& beforeName = {});

// EnsureDirectoryPath that names what it made: creates every missing directory of `path`
// (parents first) and returns the full Windows paths of those it created. Failures are
// not reported, as EnsureDirectoryPath does not report them; a directory that could not
// be made is simply not in the result (nor anything beneath it). `beforeMake` is called
// with each directory's full path just before it is made (so that it can be recorded
// before it is there); what it throws stops the rest. Raises util::EInOutError "Unable to
// create directory" for an empty path.
std::vector<std::string> MakeDirectoryPath(
    const platform::Machine& machine, const std::string& path,
    const std::function<void(const std::string&)>& beforeMake = {});

}  // namespace nolvo::setup
