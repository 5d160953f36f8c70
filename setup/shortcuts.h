#pragma once
// TShortcuts: makes the shell shortcuts (".lnk" files) of one program in the machine's
// shell folders (`Locations`; below the Windows directory W unless the machine names
// others): in a program-group folder of the Programs folder (W\Start Menu\Programs),
// optionally in a like-named folder on the desktop (W\Desktop) or at the top of the Start
// Menu (W\Start Menu), and optionally directly on the desktop and in the Start Menu.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/shell_folders.h"
#include "platform/win_error.h"

namespace nolvo::setup {

// One link file that Create shortcuts saves, and the folder it needs first.
struct ShortcutPlacement {
  std::string folder;  // directory made with its parents when it is missing
  std::string link;    // the link file, W\...\ProgramName.lnk
};

// One save that failed, with the Win32 code of the failure.
struct FailedShortcut {
  std::string link;
  platform::WinError error;
};

// What one Create shortcuts call did: every link written, every one that was not, and
// every one left as it was because the caller keeps it.
struct ShortcutReport {
  std::vector<std::string> saved;
  std::vector<FailedShortcut> failed;
  std::vector<std::string> kept;
};

class TShortcuts {
 public:
  // Fills FolderList from the machine's Programs folder. The machine must outlive the
  // component. Without `locations` the folders are those below the Windows directory.
  explicit TShortcuts(const platform::Machine& machine);
  TShortcuts(const platform::Machine& machine, platform::ShellFolders locations);

  // Published properties. The Booleans start false and the strings empty.
  std::string RunProgram;               // full path of the program the shortcut starts
  std::string Folder;                   // name of the program-group folder
  std::string ProgramName;              // name of the shortcut; the file is ProgramName + ".lnk"
  bool Desktop = false;                 // also a shortcut directly on the desktop
  bool StartMenu = false;               // also a shortcut directly in the Start Menu
  bool FolderDesktop = false;           // the program-group folder also on the desktop
  bool FolderStartMenu = false;         // the program-group folder at the top of the Start Menu
  std::vector<std::string> FolderList;  // names in Start Menu\Programs at construction
  std::string IconFile;                 // file whose first icon the shortcut shows
  platform::ShellFolders Locations;     // the desktop, Start Menu and Programs folders

  // Refills FolderList: every entry of the Programs folder (files and folders) that
  // is neither hidden nor system, does not begin with "." and does not contain ".LNK"
  // in upper case, in the finder's order.
  void RefreshFolderList();

  // The links Create shortcuts saves with the current properties, in order.
  std::vector<ShortcutPlacement> Placements() const;

  // Create shortcuts: one link (target RunProgram, working directory its directory part
  // with the trailing backslash, icon IconFile index 0) saved at every placement; a
  // missing program-group folder is made with its parents. A save that fails does not
  // stop the others; the report names it. A link for which `keep` answers true is not
  // saved (the file there stays as it is). `beforeSave` is called with each link and its
  // complete temporary file just before the link takes its name; false fails that save.
  ShortcutReport CreateShortcuts(
      const std::function<bool(const std::string&)>& keep = {},
      const std::function<bool(const std::string& link, const std::filesystem::path& temp)>&
          beforeSave = {});

 private:
  const platform::Machine& machine_;
};

}  // namespace nolvo::setup
