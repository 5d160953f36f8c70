#pragma once
// Freedesktop desktop entries (".desktop" files, desktop entry format 1.5): the
// application entry that starts a program, and reading one key of an entry.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nolvo::setup {

struct DesktopFile {
  std::string name;               // shown name (UTF-8)
  std::vector<std::string> exec;  // the program and its arguments, as they are to arrive
  std::string icon;               // an icon name or an absolute file; empty: none
};

// The file's text: "[Desktop Entry]" with Type=Application, Name, Exec, Icon (when set)
// and StartupNotify=true. Exec arguments that hold a blank or a reserved character are
// quoted ("" with \" \` \$ \\ inside), "%" is doubled, and every value is escaped as the
// format's string type wants (\\ \n \t \r).
std::string FormatDesktopFile(const DesktopFile& file);

// One argument of an Exec line, quoted when it needs to be (before the string escaping).
std::string QuoteExecArgument(std::string_view argument);

// The value of `key` in the [Desktop Entry] group of `text`, with the string escapes
// (\s \n \t \r \\) undone; nothing when the group or the key is missing.
std::optional<std::string> DesktopEntryValue(std::string_view text, std::string_view key);

}  // namespace nolvo::setup
