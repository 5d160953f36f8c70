#include "util/win_reboot.h"

#include "platform/ascii.h"
#include "platform/restart.h"

namespace nolvo::util {

namespace {

// The privilege names LookupPrivilegeValue knows on Windows.
constexpr std::string_view kPrivileges[] = {
    "SeAssignPrimaryTokenPrivilege",
    "SeAuditPrivilege",
    "SeBackupPrivilege",
    "SeChangeNotifyPrivilege",
    "SeCreateGlobalPrivilege",
    "SeCreatePagefilePrivilege",
    "SeCreatePermanentPrivilege",
    "SeCreateSymbolicLinkPrivilege",
    "SeCreateTokenPrivilege",
    "SeDebugPrivilege",
    "SeDelegateSessionUserImpersonatePrivilege",
    "SeEnableDelegationPrivilege",
    "SeImpersonatePrivilege",
    "SeIncreaseBasePriorityPrivilege",
    "SeIncreaseQuotaPrivilege",
    "SeIncreaseWorkingSetPrivilege",
    "SeLoadDriverPrivilege",
    "SeLockMemoryPrivilege",
    "SeMachineAccountPrivilege",
    "SeManageVolumePrivilege",
    "SeProfileSingleProcessPrivilege",
    "SeRelabelPrivilege",
    "SeRemoteShutdownPrivilege",
    "SeRestorePrivilege",
    "SeSecurityPrivilege",
    "SeShutdownPrivilege",
    "SeSyncAgentPrivilege",
    "SeSystemEnvironmentPrivilege",
    "SeSystemProfilePrivilege",
    "SeSystemtimePrivilege",
    "SeTakeOwnershipPrivilege",
    "SeTcbPrivilege",
    "SeTimeZonePrivilege",
    "SeTrustedCredManAccessPrivilege",
    "SeUndockPrivilege",
    "SeUnsolicitedInputPrivilege",
};

}  // namespace

bool TWinReboot::AdjustPrivilege(std::string_view privilegeName, bool /*enable*/) {
  // Privileges have no effect on this host; the change "succeeds" for every name the
  // lookup knows, as AdjustTokenPrivileges does for a known privilege.
  for (const std::string_view known : kPrivileges)
    if (platform::EqualsIgnoreCase(known, privilegeName)) return true;
  return false;
}

bool TWinReboot::RestartWindows(std::uint32_t flags) {
  AdjustPrivilege("SeShutdownPrivilege", true);
  bool accepted = false;
  try {
    accepted = platform::RequestHostRestart(flags);
  } catch (...) {
    accepted = false;  // the request never raises to its caller
  }
  AdjustPrivilege("SeShutdownPrivilege", false);
  return accepted;
}

}  // namespace nolvo::util
