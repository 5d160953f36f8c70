#include "util/windows_directory.h"

namespace nolvo::util {

std::string WindowsDirectory(const platform::Machine& machine) {
  return machine.WindowsDirectory();
}

}  // namespace nolvo::util
