#pragma once
// The steps install and uninstall add in a Wine prefix: waiting for Wine to leave the
// registry files alone, merging a leftover registry.reg, and the host menu entries.

#include <string_view>

#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "setup/install_engine.h"

namespace nolvo::cli {

// In a Wine prefix: waits a few seconds for a Wine server that is about to end. False
// (the reason printed as "nolvo COMMAND: ...") when Wine still runs in the prefix, whose
// registry files must then not be written. True at once for a plain prefix.
bool WineLeavesRegistry(const platform::Machine& machine, std::string_view command);

// Merges a leftover registry.reg into a Wine prefix's registry and says so.
void MergeLeftoverRegistry(const platform::Machine& machine, platform::Registry& registry,
                           std::string_view command, bool quiet);

// After a completed installation into a Wine prefix: the host menu entries of its
// shortcuts, recorded in its uninstall.cfg; prints what was made and any problem.
void MakeHostMenuEntries(const platform::Machine& machine, const platform::ShellFolders& shell,
                         const setup::EngineResult& result, bool quiet);

}  // namespace nolvo::cli
