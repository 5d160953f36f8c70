#include "app/startup_state.h"

#include <fmt/format.h>

#include "platform/files.h"
#include "util/ensure_directory_path.h"
#include "util/file_errors.h"
#include "util/windows_directory.h"

namespace nolvo::app {

StartupState FixStartupState(platform::Machine& machine,
                             const std::optional<std::string>& commandLineDir) {
  StartupState state;
  if (commandLineDir) {
    if (const platform::WinError error = machine.SetCurrentDirectory(*commandLineDir); !error.ok())
      throw util::EInOutError(fmt::format("I/O error {}: cannot enter the directory {}",
                                          error.value(), *commandLineDir));
    state.CmdLineDir = *commandLineDir;
  }
  state.SourceDir = machine.GetCurrentDirectory();
  if (state.SourceDir.size() > 3) state.SourceDir += "\\";
  const std::string windows = util::WindowsDirectory(machine);
  state.WinDrive = windows.substr(0, 3);
  state.TempDir = util::WindowsDirectory(machine) + "\\Temp\\q";
  // The setup empties and fills this folder: one that a link leads off the prefix's own
  // drives would be a host folder. Each step is checked before anything below it is made.
  for (const std::string& dir : {windows, windows + "\\Temp", state.TempDir})
    if (!machine.IsOnPrefixDrive(dir))
      throw util::EInOutError(fmt::format(
          "The setup's temporary folder {} lies outside the prefix ({} leads to a host folder); "
          "nothing was changed",
          state.TempDir, dir));
  try {
    util::EnsureDirectoryPath(machine, state.TempDir);
  } catch (const util::EInOutError&) {
    // The extraction stage tries again and reports its own failure.
  }
  return state;
}

void ClearTempDir(const platform::Machine& machine, const std::string& tempDir) {
  platform::FileFinder finder(machine, tempDir + "\\*.*");
  platform::FindData entry;
  // Failures are ignored: subdirectories, read-only files and a folder that is not empty
  // simply stay.
  while (finder.Next(entry))
    static_cast<void>(platform::DeleteFile(machine, tempDir + "\\" + entry.name));
  static_cast<void>(platform::RemoveDirectory(machine, tempDir));
}

}  // namespace nolvo::app
