#include "cli/wine_steps.h"

#include <fmt/format.h>

#include "platform/machine_registry.h"

namespace nolvo::cli {

bool WineLeavesRegistry(const platform::Machine& machine, std::string_view command) {
  return setup::WineLeavesRegistry(machine, [command](const std::string& reason) {
    fmt::print(stderr, "nolvo {}: {}\n", command, reason);
    return false;
  });
}

void MergeLeftoverRegistry(const platform::Machine& machine, platform::Registry& registry,
                           std::string_view command, bool quiet) {
  const std::string note = platform::MergeLeftoverRegistry(machine, registry);
  if (!note.empty() && !quiet) fmt::print("nolvo {}: {}\n", command, note);
}

void PrintHostMenu(const setup::HostMenuOutcome& outcome, bool quiet) {
  if (!outcome.recordError.empty())
    fmt::print(stderr, "nolvo install: the menu entries are not recorded for uninstall: {}\n",
               outcome.recordError);
  for (const auto& p : outcome.menu.problems) fmt::print(stderr, "nolvo install: {}\n", p);
  if (quiet) return;
  for (const auto& entry : outcome.menu.entries) {
    std::error_code ec;
    const auto real = std::filesystem::weakly_canonical(entry, ec);
    fmt::print("Menu entry {}{}\n", ec ? entry : real.string(),
               outcome.menu.winemenubuilder ? "" : " (written without Wine)");
  }
}

}  // namespace nolvo::cli
