// The engine's text handling of configuration entries: [Directories] entries expanded
// through the token table, the launch program rewritten by every token, [Desktop] and
// [Files] entries split, and an uninstall string taken apart.

#include <cstddef>
#include <cstdint>
#include <string>

#include "setup/desktop_entry.h"
#include "setup/directory_tokens.h"
#include "util/split_at_char.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // Lines: the first is the launch program, the others [Directories] entries.
  std::string rest = text, program;
  nolvo::util::SplitAtChar(rest, '\n', program);
  nolvo::setup::TokenContext context{"C:\\WINDOWS", "C:\\", "C:\\Apps\\Tool", "C:\\Apps\\Tool"};
  std::string line;
  for (int i = 0; i < 64 && !rest.empty(); ++i) {
    const auto cut = rest.find('\n');
    line = rest.substr(0, cut);
    rest = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
    const auto entry = nolvo::setup::SplitDirectoryEntry(line);
    const std::string dir = nolvo::setup::ExpandDirectoryToken(entry.token, entry.path, context);
    nolvo::setup::RewriteLaunchProgram(program, entry.token, dir);
    const auto desktop = nolvo::setup::SplitDesktopEntry(line);
    (void)nolvo::setup::DesktopEntry::AfterToken(desktop.TargetField);
    (void)nolvo::setup::FileNamePart(desktop.IconField);
    (void)nolvo::setup::DirectoryPart(program);
  }
  return 0;
}
