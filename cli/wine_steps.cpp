#include "cli/wine_steps.h"

#include <fmt/format.h>

#include "platform/machine_registry.h"
#include "platform/wine_server.h"
#include "setup/host_menu.h"
#include "setup/profile_writer.h"
#include "setup/uninstall_record.h"

namespace nolvo::cli {

bool WineLeavesRegistry(const platform::Machine& machine, std::string_view command) {
  if (!machine.IsWinePrefix() ||
      platform::WaitForWineServerExit(machine.Prefix(), platform::kWineServerGrace))
    return true;
  fmt::print(stderr, "nolvo {}: {}\n", command, platform::EWineRunning(machine.Prefix()).what());
  return false;
}

void MergeLeftoverRegistry(const platform::Machine& machine, platform::Registry& registry,
                           std::string_view command, bool quiet) {
  const std::string note = platform::MergeLeftoverRegistry(machine, registry);
  if (!note.empty() && !quiet) fmt::print("nolvo {}: {}\n", command, note);
}

void MakeHostMenuEntries(const platform::Machine& machine, const platform::ShellFolders& shell,
                         const setup::EngineResult& result, bool quiet) {
  const setup::HostMenuResult menu = setup::MakeHostMenu(machine, shell, setup::SavedLinks(result),
                                                         setup::HostMenuFolders::FromEnvironment());
  try {
    setup::RecordHostMenu(machine, result.installDirectory + "\\" + setup::kUninstallFileName,
                          menu.made);
  } catch (const setup::EIniFileError& e) {
    fmt::print(stderr, "nolvo install: the menu entries are not recorded for uninstall: {}\n",
               e.what());
  }
  for (const auto& p : menu.problems) fmt::print(stderr, "nolvo install: {}\n", p);
  if (quiet) return;
  for (const auto& entry : menu.entries) {
    std::error_code ec;
    const auto real = std::filesystem::weakly_canonical(entry, ec);
    fmt::print("Menu entry {}{}\n", ec ? entry : real.string(),
               menu.winemenubuilder ? "" : " (written without Wine)");
  }
}

}  // namespace nolvo::cli
