// A Z: drive for one run, for a prefix whose user removed it.
#pragma once

#include <filesystem>

#include "platform/machine.h"

namespace nolvo::platform {

// A prefix without Z: (its user removed the host's root from it) reaches a medium on the
// host through a Z: made for this run only, so the prefix is left as it was. Nothing is
// made when `host` is already reachable through a drive of the prefix.
class RunHostDrive {
 public:
  RunHostDrive(const Machine& machine, const std::filesystem::path& host);
  ~RunHostDrive();
  RunHostDrive(const RunHostDrive&) = delete;
  RunHostDrive& operator=(const RunHostDrive&) = delete;

 private:
  std::filesystem::path link_;
};

}  // namespace nolvo::platform
