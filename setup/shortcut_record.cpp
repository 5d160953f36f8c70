#include "setup/shortcut_record.h"

namespace nolvo::setup {

std::vector<ShortcutRecordKey> ShortcutRecordKeys(const TShortcuts& s, bool exactNames) {
  const platform::ShellFolders& at = s.Locations;
  const std::string file = s.ProgramName + (exactNames ? ".lnk" : ".*");
  std::vector<ShortcutRecordKey> keys;
  const auto folderAndLink = [&](const std::string& location) {
    keys.push_back({true, location + "\\" + s.Folder});
    keys.push_back({false, location + "\\" + s.Folder + "\\" + file});
  };
  if (s.FolderDesktop) folderAndLink(at.desktop);
  if (s.Desktop) keys.push_back({false, at.desktop + "\\" + file});
  if (s.StartMenu) keys.push_back({false, at.startMenu + "\\" + file});
  if (s.FolderStartMenu) folderAndLink(at.startMenu);
  folderAndLink(at.programs);
  return keys;
}

}  // namespace nolvo::setup
