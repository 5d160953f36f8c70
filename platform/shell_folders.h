#pragma once
// The shell folders that shortcuts go to: the current user's desktop, Start Menu and its
// Programs folder, as the machine itself names them.
//
// Each folder comes from the user's "Shell Folders" values (below HKEY_CURRENT_USER, key
// Software\Microsoft\Windows\CurrentVersion\Explorer, the 64-bit view), else from the "User Shell
// Folders" values with their %VARIABLES% expanded from the machine's own environment
// values, else from the Windows directory: W\Desktop, W\Start Menu, W\Start Menu\Programs
// (a plain prefix; old Windows, whose values point there anyway). A value is used only
// when it is a full path with a drive letter.

#include <optional>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/registry.h"

namespace nolvo::platform {

struct ShellFolders {
  std::string desktop;  // Windows paths without a trailing backslash
  std::string startMenu;
  std::string programs;
  bool fromMachine = false;  // at least one came from the registry

  // The three folders, each once.
  std::vector<std::string> All() const;
};

// The folders below the Windows directory `windows`.
ShellFolders DefaultShellFolders(const std::string& windows);

// The folders of `machine` as its registry names them (see above).
ShellFolders ReadShellFolders(const Machine& machine, const Registry& registry);

// Expands the %NAME% variables of `text` from the machine's environment values (the
// system's and the user's Environment keys, and SystemRoot, SystemDrive, windir,
// USERPROFILE, ALLUSERSPROFILE, ProgramData and PUBLIC from its profile list). Nothing
// when a variable is unknown.
std::optional<std::string> ExpandMachineVariables(const Registry& registry,
                                                  const std::string& text);

}  // namespace nolvo::platform
