#pragma once

#include <string>

#include "platform/machine.h"

namespace nolvo::util {

// The Windows directory ("C:\WINDOWS"): no trailing backslash unless it is a root.
std::string WindowsDirectory(const platform::Machine& machine);

}  // namespace nolvo::util
