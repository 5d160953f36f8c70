#include "setup/uninstaller.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "platform/atomic_file.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "platform/find_file.h"
#include "platform/profile_file.h"
#include "platform/shell_folders.h"
#include "platform/win_path.h"
#include "setup/created_files.h"
#include "setup/directory_tokens.h"
#include "setup/host_menu.h"
#include "setup/install_engine.h"
#include "setup/profile_writer.h"
#include "setup/uninstall_record.h"
#include "setup/write_guard.h"
#include "util/windows_directory.h"

namespace nolvo::setup {

namespace {

namespace fs = std::filesystem;

std::string Full(const platform::Machine& machine, const std::string& path) {
  std::string full;
  if (!machine.FullPath(path, full).ok()) return {};
  if (full.size() > 3 && full.back() == '\\') full.pop_back();
  return full;
}

bool SamePath(const platform::Machine& machine, const std::string& a, const std::string& b) {
  const std::string fa = Full(machine, a), fb = Full(machine, b);
  return !fa.empty() && platform::EqualsIgnoreCase(fa, fb);
}

// The installation directory an UninstallString names: the text before
// "\uninstaller.exe " (the title follows it).
std::optional<std::string> DirectoryOfUninstallString(const std::string& command) {
  const std::string marker = std::string("\\") + kUninstallerName;
  const std::string upper = platform::AsciiUpper(command);
  const auto at = upper.rfind(platform::AsciiUpper(marker));
  if (at == std::string::npos || at == 0) return std::nullopt;
  return command.substr(0, at);
}

// The installation directory a record was written in: its first [UNINS] key is that
// directory followed by "\*.*". Empty when the key is not there.
std::string RecordedInstallDir(const platform::ProfileText& record) {
  const auto keys = record.SectionLines(kUninsSection).keys;
  const std::string tail = "\\*.*";
  if (keys.empty() || keys.front().name.size() <= tail.size() ||
      keys.front().name.compare(keys.front().name.size() - tail.size(), tail.size(), tail) != 0)
    return {};
  return keys.front().name.substr(0, keys.front().name.size() - tail.size());
}

// Whether the folder of `target`'s record is another than the one it was written in, and
// no record lies there any more: the user moved or renamed the installation folder.
bool MovedSince(const platform::Machine& machine, const std::string& recorded,
                const std::string& installDir) {
  if (Full(machine, recorded).size() <= 3 || SamePath(machine, recorded, installDir)) return false;
  return !IsPlainFile(machine.Resolve(recorded + "\\" + kUninstallFileName));
}

std::optional<UninstallTarget> FromRecordFile(const platform::Machine& machine,
                                              const std::string& windowsPath) {
  std::string file = Full(machine, windowsPath);
  if (file.empty()) return std::nullopt;
  if (platform::DirectoryExists(machine, file)) file += std::string("\\") + kUninstallFileName;
  const platform::ResolvedPath r = machine.Resolve(file);
  if (!IsPlainFile(r)) return std::nullopt;
  UninstallTarget t;
  t.recordFile = r.full;
  t.installDir = DirectoryPart(r.full);
  if (t.installDir.size() > 3) t.installDir.pop_back();
  const platform::ProfileText record = platform::LoadProfile(r.host);
  t.title = record.Find(kProgramSection, "Title").value_or("");
  if (const std::string recorded = RecordedInstallDir(record);
      MovedSince(machine, recorded, t.installDir))
    t.movedFrom = recorded;
  return t;
}

// The entries of a record whose folder was moved from `from` to `to`: what was made
// inside the folder is looked for where it lies now.
void Relocate(const platform::Machine& machine, std::vector<CreatedEntry>& entries,
              const std::string& from, const std::string& to) {
  const std::string base = Full(machine, from);
  for (CreatedEntry& e : entries) {
    if (e.kind == CreatedKind::ckHostFile || e.kind == CreatedKind::ckHostFolder) continue;
    const std::string path = Full(machine, e.path);
    if (platform::EqualsIgnoreCase(path, base))
      e.path = to;
    else if (path.size() > base.size() && path[base.size()] == '\\' &&
             platform::EqualsIgnoreCase(path.substr(0, base.size()), base))
      e.path = to + path.substr(base.size());
  }
}

// Protected folders: never emptied by a pattern (roots, W, W\System) or removed.
bool IsRootOrWindows(const platform::Machine& machine, const std::string& dir,
                     const std::string& windows) {
  const std::string full = Full(machine, dir);
  if (full.empty() || full.size() <= 3) return true;
  return SamePath(machine, full, windows) || SamePath(machine, full, windows + "\\System");
}

bool IsProtectedFolder(const platform::Machine& machine, const std::string& dir,
                       const std::string& windows) {
  if (IsRootOrWindows(machine, dir, windows)) return true;
  for (const char* own : {"\\Desktop", "\\Start Menu", "\\Start Menu\\Programs"})
    if (SamePath(machine, dir, windows + own)) return true;
  return false;
}

// A title holding "\\" made keys between the uninstall list and the product's key (the
// installation creates every missing key of the path): those now empty go too, up to
// the list itself.
void RemoveEmptyTitleKeys(platform::Registry& registry, std::string key) {
  const std::string_view base = kUninstallKeyBase;
  while (true) {
    const auto cut = key.rfind('\\');
    if (cut == std::string::npos || cut < base.size()) return;
    key.resize(cut);
    if (!registry.KeyExists(platform::kHKeyLocalMachine, key) ||
        !registry.SubKeyNames(platform::kHKeyLocalMachine, key).empty() ||
        !registry.Values(platform::kHKeyLocalMachine, key).empty() ||
        !registry.DeleteKey(platform::kHKeyLocalMachine, key).ok())
      return;
  }
}

}  // namespace

std::optional<UninstallTarget> FindUninstallTarget(const platform::Machine& machine,
                                                   const platform::Registry& registry,
                                                   const std::string& titleOrPath) {
  if (titleOrPath.empty()) return std::nullopt;
  const std::string key = kUninstallKeyBase + titleOrPath;
  if (titleOrPath.find('\\') == std::string::npos &&
      registry.KeyExists(platform::kHKeyLocalMachine, key)) {
    const auto command = registry.ReadString(platform::kHKeyLocalMachine, key, "UninstallString");
    UninstallTarget t;
    t.title = titleOrPath;
    t.registryKey = true;
    if (command) {
      if (const auto dir = DirectoryOfUninstallString(*command)) {
        t.installDir = *dir;
        t.recordFile = *dir + "\\" + kUninstallFileName;
      }
    }
    return t;
  }
  std::string windowsPath = titleOrPath;
  if (platform::DriveLetterOf(titleOrPath) == 0 || titleOrPath.size() < 2 ||
      titleOrPath[1] != ':') {
    std::error_code ec;
    const fs::path host = fs::absolute(fs::path(titleOrPath), ec);
    if (ec || !fs::exists(host, ec)) return std::nullopt;
    windowsPath = machine.ToWindows(host);
    if (windowsPath.empty()) return std::nullopt;
  }
  auto t = FromRecordFile(machine, windowsPath);
  if (!t) return std::nullopt;
  if (!t->title.empty()) {
    const auto command = registry.ReadString(platform::kHKeyLocalMachine,
                                             kUninstallKeyBase + t->title, "UninstallString");
    if (command) {
      const auto dir = DirectoryOfUninstallString(*command);
      t->registryKey = dir && (SamePath(machine, *dir, t->installDir) ||
                               (!t->movedFrom.empty() && SamePath(machine, *dir, t->movedFrom)));
    }
  }
  return t;
}

UninstallReport Uninstall(const platform::Machine& machine, platform::Registry& registry,
                          const UninstallTarget& target, const UninstallOptions& options) {
  UninstallReport report;
  bool keepEntry = false;
  const std::string windows = util::WindowsDirectory(machine);
  auto kindOf = [](CreatedKind k) {
    return k == CreatedKind::ckFolder || k == CreatedKind::ckHostFolder
               ? UninstallItemKind::ukDirectory
               : UninstallItemKind::ukFile;
  };
  if (!target.recordFile.empty()) {
    const platform::ResolvedPath r = machine.Resolve(target.recordFile);
    if (IsPlainFile(r)) {
      const platform::ProfileText record = platform::LoadProfile(r.host);
      if (!HasCreatedSection(record)) {
        // Without the list of what was created nothing can be told apart from the user's
        // own files: nothing is removed.
        report.refused.push_back({UninstallItemKind::ukRecord, r.full,
                                  "it does not list the files its installation created (another "
                                  "setup program wrote it); nothing was removed, run the "
                                  "product's own uninstaller"});
        return report;
      }
      const std::string recorded = record.Find(kProgramSection, "Title").value_or("");
      if (target.registryKey && !recorded.empty() &&
          !platform::EqualsIgnoreCase(recorded, target.title)) {
        // Another product was installed into the same folder later: the record is that
        // product's now (it lists what both created), so removing it by this title would
        // take the other product away.
        report.refused.push_back({UninstallItemKind::ukRecord, r.full,
                                  "it records \"" + recorded +
                                      "\", installed into the same folder later; nothing was "
                                      "removed: uninstall \"" +
                                      recorded + "\" to remove both"});
        return report;
      }
      std::vector<CreatedEntry> entries = ReadCreatedEntries(record);
      if (!target.movedFrom.empty())
        Relocate(machine, entries, target.movedFrom, target.installDir);
      WriteGuard guard(machine, false), shellGuard(machine, false);
      guard.AllowTree(target.installDir);
      // Files the run created in the shell folders may go wherever those lie (a Wine
      // prefix's desktop is the user's home folder); the shell folders themselves stay.
      const std::vector<std::string> shell = platform::ReadShellFolders(machine, registry).All();
      for (const auto& folder : shell) shellGuard.AllowTree(folder);
      RemovalOptions removal;
      removal.dryRun = options.dryRun;
      removal.allowed = [&](const std::string& path) {
        return guard.Allowed(path) || shellGuard.Allowed(path);
      };
      removal.keepFolder = [&](const std::string& dir) {
        return IsProtectedFolder(machine, dir, windows) ||
               std::any_of(shell.begin(), shell.end(),
                           [&](const std::string& f) { return SamePath(machine, dir, f); });
      };
      removal.spare = {r.host};
      CreatedRemover remover(machine, removal);
      remover.RemoveFiles(entries);
      // Copies of the record that a killed run left half-written are on no record; they go.
      for (const std::filesystem::path& temp : platform::LeftoverTemporaries(r.host)) {
        const std::string path =
            r.full.substr(0, r.full.rfind('\\') + 1) + temp.filename().string();
        std::error_code ec;
        if (!options.dryRun && !std::filesystem::remove(temp, ec)) continue;
        remover.NoteRemoved(temp);
        report.removed.push_back({UninstallItemKind::ukFile, path, {}});
      }
      const bool foundInPlace =
          std::any_of(entries.begin(), entries.end(), [&](const CreatedEntry& e) {
            return e.kind == CreatedKind::ckFound && SamePath(machine, e.path, r.full);
          });
      // Folders that do not hold the record go while it is still there: a run that ends
      // before them (killed) is finished by uninstalling again.
      const auto holdsRecord = [&](const std::string& folder) {
        return PathWithin(machine, r.full, folder);
      };
      remover.RemoveFolders(entries, [&](const std::string& f) { return !holdsRecord(f); });
      const bool removalFailed = std::any_of(remover.report.kept.begin(), remover.report.kept.end(),
                                             [](const RemovalItem& i) { return i.failed; });
      if (removalFailed) {
        // The record stays, and the registry entry with it, so that uninstalling again once
        // those files can be removed finishes the job.
        keepEntry = true;
        report.kept.push_back({.kind = UninstallItemKind::ukRecord,
                               .path = r.full,
                               .reason = "kept for a later uninstall, as files above could "
                                         "not be removed"});
      } else if (foundInPlace) {
        // A file that was there before the installation stays, without the sections the
        // installation added to list what it created.
        platform::ProfileText rest = record;
        for (const char* section : {kCreatedSection, kHostMenuSection})
          while (rest.HasSection(section)) rest.EraseSection(section);
        const bool failed = !options.dryRun && platform::WriteFileAtomic(r.host, rest.Serialize());
        report.kept.push_back({.kind = UninstallItemKind::ukRecord,
                               .path = r.full,
                               .reason = failed ? "cannot be written"
                                                : "there before the installation (only the "
                                                  "list of what was created goes)",
                               .failed = failed});
      } else {
        // The record goes before the folders, so that the installation directory can.
        const platform::WinError error =
            options.dryRun ? platform::kErrorSuccess : platform::DeleteFile(machine, r.full);
        if (error.ok()) {
          remover.NoteRemoved(r.host);
          report.removed.push_back({UninstallItemKind::ukRecord, r.full, {}});
        } else {
          report.kept.push_back(
              {.kind = UninstallItemKind::ukRecord,
               .path = r.full,
               .reason = "cannot be deleted (error " + std::to_string(error.value()) + ")",
               .failed = true});
        }
      }
      remover.RemoveFolders(entries, holdsRecord);
      const auto item = [&](const RemovalItem& i) {
        const bool host = i.kind == CreatedKind::ckHostFile || i.kind == CreatedKind::ckHostFolder;
        return UninstallItem{kindOf(i.kind), i.path, i.reason, host, i.failed};
      };
      for (const auto& i : remover.report.removed) report.removed.push_back(item(i));
      for (const auto& i : remover.report.kept) report.kept.push_back(item(i));
      for (const auto& i : remover.report.refused) report.refused.push_back(item(i));
    } else if (target.registryKey) {
      // The entry names a record that is gone (the folder deleted, moved or renamed): only
      // the entry goes, and the report says that nothing else could be.
      report.kept.push_back({UninstallItemKind::ukRecord, r.error.ok() ? r.full : target.recordFile,
                             "not found: only the registry entry was removed; what the "
                             "installation made stays (a moved folder is uninstalled by its "
                             "new path)"});
    }
  }
  if (target.registryKey && !target.title.empty() && !keepEntry) {
    const std::string key = kUninstallKeyBase + target.title;
    if (registry.KeyExists(platform::kHKeyLocalMachine, key)) {
      const platform::WinError status = options.dryRun
                                            ? platform::RegCode::kSuccess
                                            : registry.DeleteTree(platform::kHKeyLocalMachine, key);
      const std::string shown = "HKEY_LOCAL_MACHINE\\" + key;
      if (status.ok()) {
        report.removed.push_back({UninstallItemKind::ukRegistryKey, shown, {}});
        if (!options.dryRun) RemoveEmptyTitleKeys(registry, key);
      } else
        report.kept.push_back(
            {.kind = UninstallItemKind::ukRegistryKey,
             .path = shown,
             .reason = "cannot be deleted (status " + std::to_string(status.value()) + ")",
             .failed = true});
    }
  }
  return report;
}

}  // namespace nolvo::setup
