#pragma once

#include <cstdint>
#include <string_view>

#include "platform/machine.h"

namespace nolvo::util {

// Whether every bit of `mask` is set in the attributes of `fileName`. A path whose
// attributes cannot be read reads as all bits set, so the answer is then true.
bool FileHasAttr(const platform::Machine& machine, std::string_view fileName, std::uint16_t mask);

}  // namespace nolvo::util
