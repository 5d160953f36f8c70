#pragma once
// The steps install and uninstall add in a Wine prefix: waiting for Wine to leave the
// registry files alone, merging a leftover registry.reg, and what the host menu got.

#include <string_view>

#include "platform/machine.h"
#include "platform/registry.h"
#include "setup/install_session.h"

namespace nolvo::cli {

// In a Wine prefix: waits a few seconds for a Wine server that is about to end. False
// (the reason printed as "nolvo COMMAND: ...") when Wine still runs in the prefix, whose
// registry files must then not be written. True at once for a plain prefix.
bool WineLeavesRegistry(const platform::Machine& machine, std::string_view command);

// Merges a leftover registry.reg into a Wine prefix's registry and says so.
void MergeLeftoverRegistry(const platform::Machine& machine, platform::Registry& registry,
                           std::string_view command, bool quiet);

// Prints the host menu entries an installation into a Wine prefix made, and any problem.
void PrintHostMenu(const setup::HostMenuOutcome& outcome, bool quiet);

}  // namespace nolvo::cli
