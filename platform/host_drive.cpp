#include "platform/host_drive.h"

#include <unistd.h>

namespace nolvo::platform {

RunHostDrive::RunHostDrive(const Machine& machine, const std::filesystem::path& host) {
  if (machine.DriveRoot('z') || !machine.ToWindows(host).empty()) return;
  const std::filesystem::path link = machine.DosDevices() / "z:";
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(link, ec))) return;
  if (::symlink("/", link.c_str()) == 0) link_ = link;
}

RunHostDrive::~RunHostDrive() {
  if (!link_.empty()) ::unlink(link_.c_str());
}

}  // namespace nolvo::platform
