#pragma once
// The start-up state of a setup run (the source, temporary and system-drive folders and
// the staging folder of the command line) and the emptying of the temporary folder.

#include <optional>
#include <string>

#include "platform/machine.h"

namespace nolvo::app {

struct StartupState {
  std::string SourceDir;   // the medium's folder, always ending in "\"
  std::string TempDir;     // Windows directory + "\Temp\q", no trailing "\"
  std::string WinDrive;    // the system drive root, such as "C:\"
  std::string CmdLineDir;  // the staging folder named on the command line, or empty
};

// Fixes the start-up state as the main screen's first showing does: enters the
// command-line folder when there is one (raising util::EInOutError naming it when it
// cannot be entered, before anything else is set), reads the current directory into
// SourceDir (a "\" appended when longer than 3), takes WinDrive and TempDir from the
// Windows directory and creates TempDir with its parents (failures ignored). A TempDir
// that does not lie on the prefix's own drives (a link on its way leads elsewhere) raises
// util::EInOutError naming it, before anything is made.
StartupState FixStartupState(platform::Machine& machine,
                             const std::optional<std::string>& commandLineDir);

// Deletes the plain files directly inside `tempDir` (read-only files, subfolders and
// files in use stay), then tries to remove the folder. Every failure is ignored.
void ClearTempDir(const platform::Machine& machine, const std::string& tempDir);

}  // namespace nolvo::app
