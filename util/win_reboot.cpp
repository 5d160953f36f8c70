#include "util/win_reboot.h"

#include "platform/restart.h"

namespace nolvo::util {

namespace {

// The privilege names LookupPrivilegeValue knows on Windows.
constexpr std::string_view kPrivileges[] = {
    "SeAssignPrimaryTokenPrivilege", "SeAuditPrivilege", "SeBackupPrivilege",
    "SeChangeNotifyPrivilege", "SeCreateGlobalPrivilege", "SeCreatePagefilePrivilege",
    "SeCreatePermanentPrivilege", "SeCreateSymbolicLinkPrivilege", "SeCreateTokenPrivilege",
    "SeDebugPrivilege", "SeDelegateSessionUserImpersonatePrivilege", "SeEnableDelegationPrivilege",
    "SeImpersonatePrivilege", "SeIncreaseBasePriorityPrivilege", "SeIncreaseQuotaPrivilege",
    "SeIncreaseWorkingSetPrivilege", "SeLoadDriverPrivilege", "SeLockMemoryPrivilege",
    "SeMachineAccountPrivilege", "SeManageVolumePrivilege", "SeProfileSingleProcessPrivilege",
    "SeRelabelPrivilege", "SeRemoteShutdownPrivilege", "SeRestorePrivilege",
    "SeSecurityPrivilege", "SeShutdownPrivilege", "SeSyncAgentPrivilege",
    "SeSystemEnvironmentPrivilege", "SeSystemProfilePrivilege", "SeSystemtimePrivilege",
    "SeTakeOwnershipPrivilege", "SeTcbPrivilege", "SeTimeZonePrivilege",
    "SeTrustedCredManAccessPrivilege", "SeUndockPrivilege", "SeUnsolicitedInputPrivilege",
};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

bool TWinReboot::AdjustPrivilege(std::string_view privilegeName, bool /*enable*/) {
  // Privileges have no effect on this host; the change "succeeds" for every name the
  // lookup knows, as AdjustTokenPrivileges does for a known privilege.
  for (const std::string_view known : kPrivileges)
    if (SameIgnoringCase(known, privilegeName)) return true;
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
