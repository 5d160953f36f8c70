#pragma once
// Turning stored names and templates (Windows paths in the machine's code page) into
// relative host paths that stay inside an extraction folder.

#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page.h"

namespace nolvo::media {

struct ConfinedPath {
  std::vector<std::string> Parts;  // host path components (UTF-8), never "", "." or ".."
  std::vector<std::string> Notes;  // what had to change to keep the path inside the folder
};

// Splits `path` at "\" and "/". A leading drive ("C:") and leading backslashes are
// dropped (with a note unless `silentRoot`); "." and empty parts vanish; ".." parts are
// dropped with a note; characters Windows forbids in names become "_" and device names
// (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any extension) gain a leading "_", each noted.
ConfinedPath ConfinePath(std::string_view path, bool silentRoot, const platform::CodePage& cp);

// The file-name part of `name` (after its last "\", "/" or ":"), confined like one part
// of ConfinePath; Parts is empty when nothing usable is left.
ConfinedPath ConfineFileName(std::string_view name, const platform::CodePage& cp);

}  // namespace nolvo::media
