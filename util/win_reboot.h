#pragma once
// TWinReboot: the component that carries the two restart operations. It holds no state.
// This host is never restarted: a restart request goes to the platform's stand-in
// (platform/restart.h: NOLVO_RESTART_COMMAND).

#include <cstdint>
#include <string_view>

namespace nolvo::util {

class TWinReboot {
 public:
  // Enables (or disables) the named privilege for this process. True when the change
  // succeeded: for every privilege name Windows defines ("SeShutdownPrivilege", ...,
  // compared ignoring case); false for any other name. Never throws.
  bool AdjustPrivilege(std::string_view privilegeName, bool enable);
  // Enables "SeShutdownPrivilege", asks for a restart with the ExitWindowsEx `flags`
  // (2 = EWX_REBOOT), and disables the privilege again whatever the request gave. True
  // when the request was accepted. Never throws.
  bool RestartWindows(std::uint32_t flags);
};

}  // namespace nolvo::util
