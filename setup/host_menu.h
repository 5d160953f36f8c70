#pragma once
// The host's menu entries for an installation into a Wine prefix: a freedesktop
// ".desktop" entry for every Start-menu shortcut (in the user's applications folder) and
// one beside every desktop shortcut, each starting the shortcut through Wine in that
// prefix. Wine's own winemenubuilder makes them (with the .menu, .directory and icon files
// it adds) whenever `wine` can run it; an entry it did not make is written here instead.
//
// Everything made is recorded in the installation's uninstall.cfg, section [Host Menu],
// one host path a key (folders end in "/"), and the uninstaller removes exactly that:
// files only of the kinds these entries are, only below the host menu folders or the
// shell folders, folders only when empty, and Wine's own notes of the entries
// (HKEY_CURRENT_USER\Software\Wine\MenuFiles).

#include <filesystem>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "setup/install_engine.h"
#include "setup/uninstaller.h"

namespace nolvo::setup {

inline constexpr const char* kHostMenuSection = "Host Menu";

// The host folders the entries go to.
struct HostMenuFolders {
  std::filesystem::path applications;  // $XDG_DATA_HOME/applications
  std::filesystem::path menus;         // $XDG_CONFIG_HOME/menus/applications-merged
  std::filesystem::path directories;   // $XDG_DATA_HOME/desktop-directories
  std::filesystem::path icons;         // $XDG_DATA_HOME/icons

  // From XDG_DATA_HOME and XDG_CONFIG_HOME (absolute ones), else ~/.local/share and
  // ~/.config.
  static HostMenuFolders FromEnvironment();
};

struct HostMenuResult {
  std::vector<std::filesystem::path> made;  // files and the folders made for them
  std::vector<std::string> entries;         // the .desktop files, for the report
  bool winemenubuilder = false;             // Wine's tool ran
  std::vector<std::string> problems;        // one line each
};

// The link files a completed engine run saved (its shortcut actions that were done).
std::vector<std::string> SavedLinks(const EngineResult& result);

// Makes the entries for `links` (Windows paths of .lnk files in `shell`'s folders; links
// elsewhere get none). Wine is run with the prefix as WINEPREFIX; afterwards this waits
// (a few seconds at most) for Wine's server to end, so that the prefix's registry is on
// disk again. Never throws for a failed entry: `problems` names it.
HostMenuResult MakeHostMenu(const platform::Machine& machine, const platform::ShellFolders& shell,
                            const std::vector<std::string>& links, const HostMenuFolders& host);

// Adds `made` to [Host Menu] of the uninstall.cfg at Windows path `recordFile`. Raises
// EIniFileError when it cannot be written.
void RecordHostMenu(const platform::Machine& machine, const std::string& recordFile,
                    const std::vector<std::filesystem::path>& made);

// The [Host Menu] paths of the record at Windows path `recordFile` (read before the
// uninstaller deletes it); empty when there is none.
std::vector<std::filesystem::path> ReadHostMenuRecord(const platform::Machine& machine,
                                                      const std::string& recordFile);

// Removes the recorded entries as described above, adding what it did to `report` (host
// paths; Wine's notes as registry items). With `dryRun` it changes nothing.
void RemoveHostMenu(const platform::Machine& machine, platform::Registry& registry,
                    const platform::ShellFolders& shell,
                    const std::vector<std::filesystem::path>& recorded, const HostMenuFolders& host,
                    bool dryRun, UninstallReport& report);

}  // namespace nolvo::setup
