#pragma once

#include <string>

#include "platform/machine.h"

namespace nolvo::util {

// Creates `directory` and its missing parents, outermost first. Raises EInOutError
// "Unable to create directory" for an empty path only; a directory that cannot be
// created is not reported (the caller meets the problem when it uses it). Roots
// ("C:\", "C:") and existing directories are left alone.
void EnsureDirectoryPath(const platform::Machine& machine, std::string directory);

}  // namespace nolvo::util
