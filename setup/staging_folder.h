#pragma once
// The staging folder named on a setup's command line: a folder that holds a staged copy
// of the setup medium and is emptied of it when the setup ends. Only the files that make
// up a setup medium are deleted; every other file stays and is named. Folders that
// cannot be a staging folder (a file system root, a home folder, the prefix or a folder
// inside it) are refused before anything runs.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine.h"

namespace nolvo::setup {

// Whether the file `name` (a file name, no folder) belongs to a setup medium whose
// segments are `<segmentBase>.NNN` and whose setup picture is `bitmapFile`: install.cfg,
// install.exe, a segment file, a digest list or the picture (names compared without case).
bool IsSetupMediumFile(std::string_view name, std::string_view bitmapFile,
                       std::string_view segmentBase = "disk");

// Why the host folder `folder` cannot be a staging folder: a file system root or the
// root of a drive of the machine, a home folder, the prefix or a folder inside it.
// Nothing when it may be one.
std::optional<std::string> StagingFolderRefusal(const platform::Machine& machine,
                                                const std::filesystem::path& folder);

// The staging folder a setup's command line names, as a Windows path: one typed with a
// drive letter as typed, any other as the host folder (relative to the current folder)
// seen through the machine's drives. Empty when that host folder lies on no drive: it
// is not read again as a path on the current drive, which would name another folder.
std::string StagingFolderArgument(const platform::Machine& machine, const std::string& arg);

// What emptying a staging folder did.
struct StagingCleanup {
  std::vector<std::string> deleted;  // names of setup-medium files deleted
  std::vector<std::string> left;     // names of the other entries, left in place
  std::vector<std::string> failed;   // setup-medium files that could not be deleted
  bool removed = false;              // the folder itself was removed
};

// Deletes the setup-medium files directly inside the staging folder `dir` (a Windows
// path), then tries to remove the folder. Read-only files and files in use stay, as the
// clean-up of the temporary folder leaves them.
StagingCleanup ClearStagingFolder(const platform::Machine& machine, const std::string& dir,
                                  std::string_view bitmapFile);

}  // namespace nolvo::setup
