#pragma once
// The uninstaller: removes what an installation recorded. It finds the record by product
// title (the uninstall registry entry, whose UninstallString names the installation
// directory) or by the path of an uninstall.cfg, deletes the files and wildcard patterns
// of [UNINS] (never recursively), removes the [Folders] and the installation directory
// when they are empty, deletes uninstall.cfg and the registry key, and reports what it
// removed and what it kept.
//
// What stays by design: directories that are not empty or were not recorded, the
// Windows directory and its own folders (System, Desktop, Start Menu, Programs), drive
// roots, the registry's parent keys and the prefix itself. A pattern that would empty a
// drive root, the Windows directory or its System folder is refused. Deletions happen
// only on the prefix's own drives and inside the installation directory of the record.
// Running it again finds nothing and changes nothing.

#include <optional>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/registry.h"

namespace nolvo::setup {

// Where an installation's record lies.
struct UninstallTarget {
  std::string title;       // the product title (from the registry key or [Program] Title)
  std::string installDir;  // Windows path, no trailing "\"
  std::string recordFile;  // installDir + "\uninstall.cfg"
  bool registryKey = false;  // the uninstall registry entry of `title` points here
};

// Finds the record of `titleOrPath`: first the registry entry of that title, then the
// argument as the path of an uninstall.cfg or of the directory holding one (a Windows
// path, or a host path inside one of the machine's drives). Nothing when neither exists.
std::optional<UninstallTarget> FindUninstallTarget(const platform::Machine& machine,
                                                   const platform::Registry& registry,
                                                   const std::string& titleOrPath);

enum class UninstallItemKind { ukFile, ukDirectory, ukRecord, ukRegistryKey, ukPattern };

struct UninstallItem {
  UninstallItemKind kind = UninstallItemKind::ukFile;
  std::string path;    // file, directory, pattern or registry key
  std::string reason;  // why it was kept or refused
};

struct UninstallReport {
  std::vector<UninstallItem> removed;  // (dry run: would be removed)
  std::vector<UninstallItem> kept;     // left in place, with the reason
  std::vector<UninstallItem> refused;  // unsafe patterns and targets, with the reason
};

struct UninstallOptions {
  bool dryRun = false;
};

UninstallReport Uninstall(const platform::Machine& machine, platform::Registry& registry,
                          const UninstallTarget& target, const UninstallOptions& options);

}  // namespace nolvo::setup
