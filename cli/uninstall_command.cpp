// nolvo uninstall TITLE|PATH [--prefix DIR] [--dry-run]: removes an installed product
// from a prefix as its uninstall record lists it.

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/command.h"
#include "cli/wine_steps.h"
#include "platform/machine.h"
#include "platform/machine_registry.h"
#include "platform/prefix_lock.h"
#include "platform/registry.h"
#include "setup/host_menu.h"
#include "setup/uninstaller.h"

namespace nolvo::cli {

namespace {

struct UninstallCliOptions {
  std::string what;
  std::string prefix;
  bool dryRun = false;
};

const char* KindName(setup::UninstallItemKind kind) {
  switch (kind) {
    case setup::UninstallItemKind::ukFile:
      return "file";
    case setup::UninstallItemKind::ukDirectory:
      return "folder";
    case setup::UninstallItemKind::ukRecord:
      return "record";
    case setup::UninstallItemKind::ukRegistryKey:
      return "registry key";
    case setup::UninstallItemKind::ukPattern:
      return "pattern";
  }
  return "file";
}

// An item's path for the terminal: host paths are UTF-8 already.
std::string Shown(const platform::CodePage& cp, const setup::UninstallItem& item) {
  return item.hostText ? item.path : cp.ToUtf8(item.path);
}

int RunUninstall(const UninstallCliOptions& o, const GlobalOptions& global) {
  const std::filesystem::path prefix =
      o.prefix.empty() ? platform::Machine::DefaultPrefix() : std::filesystem::path(o.prefix);
  if (!std::filesystem::is_directory(prefix)) {
    fmt::print(stderr, "nolvo uninstall: no prefix at {}\n", prefix.string());
    return kExitUsage;
  }
  platform::Machine machine(prefix);
  const platform::CodePage& cp = machine.Codepage();
  platform::PrefixLock lock(machine);
  if (!o.dryRun && !WineLeavesRegistry(machine, "uninstall")) return kExitFailure;
  platform::Registry registry(platform::MachineRegistryStore(machine));
  const std::string what = cp.FromUtf8(o.what);
  auto target = setup::FindUninstallTarget(machine, registry, what);
  if (!target && !(o.what.size() >= 2 && o.what[1] == ':')) {
    // A host path names its folders in the host's encoding, not in the code page.
    std::error_code ec;
    const std::filesystem::path host = std::filesystem::absolute(o.what, ec);
    const std::string windows =
        !ec && std::filesystem::exists(host, ec) ? machine.ToWindows(host) : std::string();
    if (!windows.empty()) target = setup::FindUninstallTarget(machine, registry, windows);
  }
  if (!target) {
    fmt::print(stderr,
               "nolvo uninstall: no installation recorded as \"{}\" in {} (nothing to do)\n",
               o.what, prefix.string());
    return kExitFailure;
  }
  setup::UninstallOptions options;
  options.dryRun = o.dryRun;
  const auto hostMenu = setup::ReadHostMenuRecord(machine, target->recordFile);
  setup::UninstallReport report = setup::Uninstall(machine, registry, *target, options);
  setup::RemoveHostMenu(machine, registry, platform::ReadShellFolders(machine, registry), hostMenu,
                        setup::HostMenuFolders::FromEnvironment(), o.dryRun, report);
  if (!global.quiet) {
    fmt::print("{} \"{}\" from {}\n", o.dryRun ? "Would uninstall" : "Uninstalled",
               cp.ToUtf8(target->title), cp.ToUtf8(target->installDir));
    for (const auto& i : report.removed)
      fmt::print("  {} {} {}\n", o.dryRun ? "would remove" : "removed", KindName(i.kind),
                 Shown(cp, i));
    // What could not be removed goes to standard error below, as a failure.
    const bool keptAny = std::any_of(report.kept.begin(), report.kept.end(),
                                     [](const setup::UninstallItem& i) { return !i.failed; });
    if (keptAny) fmt::print("Left in place:\n");
    for (const auto& i : report.kept)
      if (!i.failed) fmt::print("  kept {} {}: {}\n", KindName(i.kind), Shown(cp, i), i.reason);
  }
  bool failed = false;
  for (const auto& i : report.kept) {
    if (!i.failed) continue;
    failed = true;
    fmt::print(stderr, "nolvo uninstall: could not remove {} {}: {}\n", KindName(i.kind),
               Shown(cp, i), i.reason);
  }
  for (const auto& i : report.refused)
    fmt::print(stderr, "nolvo uninstall: refused {} {}: {}\n", KindName(i.kind), Shown(cp, i),
               i.reason);
  return report.refused.empty() && !failed ? kExitOk : kExitFailure;
}

}  // namespace

CommandRegistration RegisterUninstall(CLI::App& app, const GlobalOptions& global) {
  auto options = std::make_shared<UninstallCliOptions>();
  CLI::App* sub = app.add_subcommand(
      "uninstall", "Remove an installed product as its uninstall record lists it");
  sub->add_option("TITLE|PATH", options->what,
                  "The product title (its uninstall registry entry), or the path of its "
                  "uninstall.cfg or installation folder")
      ->required();
  sub->add_option("--prefix", options->prefix, "The prefix (default: NOLVO_PREFIX)")
      ->type_name("DIR");
  sub->add_flag("--dry-run", options->dryRun, "Show what would be removed; change nothing");
  sub->footer(
      std::string("Removes exactly the files and folders the installation created, as its\n"
                  "uninstall.cfg records them: a file only while it is unchanged since (a file\n"
                  "changed since is kept and named), a folder only when it is empty; then\n"
                  "uninstall.cfg, the registry entry and the host menu entries recorded in\n"
                  "[Host Menu]. A file the installation did not create (one it found in place\n"
                  "and kept or replaced) is never removed; the [UNINS] patterns are left to the\n"
                  "product's own uninstaller. Also removes what an interrupted or killed\n"
                  "installation had finished writing. In a Wine prefix the registry is Wine's\n"
                  "own; while Wine runs programs there the command stops (exit 1) and changes\n"
                  "nothing. Stays: the Windows folder and its own folders (System, Desktop,\n"
                  "Start Menu, Programs), the user's shell folders, the registry's parent keys\n"
                  "and the prefix; the end lists what was left. A record that does not list\n"
                  "what was created (written by another setup program) is refused and nothing\n"
                  "is removed (exit 1). Nothing recorded under that title or path exits 1;\n"
                  "running it again changes nothing. What could not be removed (such as a\n"
                  "read-only file) is named on standard error and the run exits 1.\n\n") +
      kExitCodeHelp);
  auto run = [options, &global]() -> int {
    try {
      return RunUninstall(*options, global);
    } catch (const std::exception& e) {
      fmt::print(stderr, "nolvo uninstall: {}\n", e.what());
      return kExitFailure;
    }
  };
  return {sub, run};
}

}  // namespace nolvo::cli
