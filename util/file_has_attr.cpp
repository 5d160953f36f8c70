#include "util/file_has_attr.h"

#include "platform/file_attributes.h"

namespace nolvo::util {

bool FileHasAttr(const platform::Machine& machine, std::string_view fileName, std::uint16_t mask) {
  const std::uint32_t attributes = platform::GetFileAttributes(machine, fileName);
  return (attributes & mask) == mask;
}

}  // namespace nolvo::util
