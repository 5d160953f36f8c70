#pragma once
// The uninstaller: removes what an installation created. It finds the record by product
// title (the uninstall registry entry, whose UninstallString names the installation
// directory) or by the path of an uninstall.cfg, and removes exactly the files and
// folders the record's created section lists (created_files.h): a file only while it is
// unchanged since the installation (else it is kept and named), a folder only when it
// is empty; then uninstall.cfg and the registry key. The [UNINS] patterns are for the
// product's own uninstaller and delete nothing here, so a file the installation kept
// or found in place is never removed.
//
// What stays by design: files changed since, folders that are not empty, the Windows
// directory and its own folders (System, Desktop, Start Menu, Programs), drive roots,
// the registry's parent keys and the prefix itself. Deletions happen only on the
// prefix's own drives and inside the installation directory of the record. A record
// without the created section (written by another setup program) is refused and
// nothing is removed. Running it again finds nothing and changes nothing.

#include <optional>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/registry.h"

namespace nolvo::setup {

// Where an installation's record lies.
struct UninstallTarget {
  std::string title;         // the product title (from the registry key or [Program] Title)
  std::string installDir;    // Windows path, no trailing "\"
  std::string recordFile;    // installDir + "\uninstall.cfg"
  bool registryKey = false;  // the uninstall registry entry of `title` points here
  std::string movedFrom;     // the folder the record was written in, when the user moved it
                             // since (no record lies there any more); else empty
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
  std::string path;       // file, directory, pattern or registry key
  std::string reason;     // why it was kept or refused (UTF-8: it may name host files)
  bool hostText = false;  // `path` is a host path (UTF-8), not a Windows path in the code page
  bool failed = false;    // kept because removing it failed, not by choice
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
