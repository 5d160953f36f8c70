#include "platform/restart.h"

#include <cstdlib>
#include <string>

#include "platform/host_process.h"

namespace nolvo::platform {

bool RequestHostRestart(std::uint32_t flags) {
  const char* command = std::getenv("NOLVO_RESTART_COMMAND");
  if (!command || !*command) return false;
  const auto status =
      RunAndWait({"/bin/sh", "-c", command}, {"NOLVO_RESTART_FLAGS=" + std::to_string(flags)});
  return status == 0;
}

}  // namespace nolvo::platform
