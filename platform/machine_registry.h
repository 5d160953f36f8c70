#pragma once
// The registry of a machine: Wine's own hive files in a Wine prefix (what Wine's
// programs, its uninstaller and its control panel read), Nolvo's registry.reg in a plain
// prefix.

#include <memory>
#include <string>

#include "platform/machine.h"
#include "platform/registry.h"

namespace nolvo::platform {

// The store of `machine`'s registry (see Machine::IsWinePrefix).
std::unique_ptr<RegistryStore> MachineRegistryStore(const Machine& machine);

// In a Wine prefix that still holds Nolvo's registry.reg (a plain prefix that Wine booted
// later): copies the HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER keys and values of that file
// into `registry` (the prefix's Wine registry) and renames the file registry.reg.merged,
// so that it happens once. Returns one sentence saying what it did, or nothing when there
// was nothing to merge. Throws ERegistryFileError for a malformed file and
// ERegistryException when a key or value cannot be written (the file then stays).
std::string MergeLeftoverRegistry(const Machine& machine, Registry& registry);

}  // namespace nolvo::platform
