#pragma once
// What the uninstall record lists for one shortcut entry: the program-group folders
// ([Folders]) and the link files ([UNINS]) in the shell folders of the shortcut component.

#include <string>
#include <vector>

#include "setup/shortcuts.h"

namespace nolvo::setup {

struct ShortcutRecordKey {
  bool folder = false;  // a [Folders] key; else an [UNINS] key
  std::string key;
};

// The keys for the shortcut `s` describes (its Folder, ProgramName, the four placement
// choices and its Locations), in the order the engine records them: for the folder on
// the desktop its folder and link; the desktop link; the Start Menu link; for the folder
// at the top of the Start Menu its folder and link; always the Programs folder and link.
// Links are recorded as NAME.* patterns, or with `exactNames` as the link files
// themselves, NAME.lnk: in a Wine prefix the desktop is the user's own home folder, where
// a pattern could also take a file of the user's that merely shares the name.
std::vector<ShortcutRecordKey> ShortcutRecordKeys(const TShortcuts& s, bool exactNames);

}  // namespace nolvo::setup
