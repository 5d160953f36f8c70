#include "setup/uninstaller.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "platform/find_file.h"
#include "platform/profile_file.h"
#include "platform/shell_folders.h"
#include "platform/win_path.h"
#include "setup/directory_tokens.h"
#include "setup/install_engine.h"
#include "setup/uninstall_record.h"
#include "setup/write_guard.h"
#include "util/windows_directory.h"

namespace nolvo::setup {

namespace {

namespace fs = std::filesystem;

std::string Full(const platform::Machine& machine, const std::string& path) {
  std::string full;
  if (machine.FullPath(path, full) != 0) return {};
  if (full.size() > 3 && full.back() == '\\') full.pop_back();
  return full;
}

bool SamePath(const platform::Machine& machine, const std::string& a, const std::string& b) {
  const std::string fa = Full(machine, a), fb = Full(machine, b);
  return !fa.empty() && platform::EqualsNoCase(fa, fb);
}

// The installation directory an UninstallString names: the text before
// "\uninstaller.exe " (the title follows it).
std::optional<std::string> DirectoryOfUninstallString(const std::string& command) {
  const std::string marker = std::string("\\") + kUninstallerName;
  const std::string upper = platform::UpperAscii(command);
  const auto at = upper.rfind(platform::UpperAscii(marker));
  if (at == std::string::npos || at == 0) return std::nullopt;
  return command.substr(0, at);
}

std::optional<UninstallTarget> FromRecordFile(const platform::Machine& machine,
                                              const std::string& windowsPath) {
  std::string file = Full(machine, windowsPath);
  if (file.empty()) return std::nullopt;
  if (platform::DirectoryExists(machine, file)) file += std::string("\\") + kUninstallFileName;
  const platform::ResolvedPath r = machine.Resolve(file);
  if (r.error != 0 || !r.exists || r.isDirectory) return std::nullopt;
  UninstallTarget t;
  t.recordFile = r.full;
  t.installDir = DirectoryPart(r.full);
  if (t.installDir.size() > 3) t.installDir.pop_back();
  t.title = platform::LoadProfile(r.host).Find(kProgramSection, "Title").value_or("");
  return t;
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

class Remover {
 public:
  Remover(const platform::Machine& machine, const UninstallTarget& target, bool dryRun,
          const platform::ShellFolders& shell)
      : machine_(machine), target_(target), dryRun_(dryRun), guard_(machine, false),
        shellGuard_(machine, false), shell_(shell.All()),
        windows_(util::WindowsDirectory(machine)) {
    guard_.AllowTree(target.installDir);
    // Named files and emptied folders may go from the shell folders wherever they lie
    // (a Wine prefix's desktop is the user's home folder); patterns may not.
    for (const auto& folder : shell_) shellGuard_.AllowTree(folder);
  }

  UninstallReport report;

  void DeleteKeyEntry(const std::string& key) {
    const std::string name = FileNamePart(key);
    if (name.find_first_of("*?") != std::string::npos)
      DeletePattern(key);
    else
      DeleteOne(key, UninstallItemKind::ukFile);
  }

  void DeletePattern(const std::string& pattern) {
    const std::string dir = DirectoryPart(pattern);
    const std::string name = FileNamePart(pattern);
    const bool matchesAll = name.find_first_not_of("*?.") == std::string::npos;
    if (IsRootOrWindows(machine_, dir, windows_) ||
        (matchesAll && IsProtectedFolder(machine_, dir, windows_))) {
      report.refused.push_back({UninstallItemKind::ukPattern, pattern,
                                "would empty a drive root, the Windows directory, its "
                                "System folder or one of its shell folders"});
      return;
    }
    if (!guard_.Allowed(pattern)) {
      report.refused.push_back({UninstallItemKind::ukPattern, pattern,
                                "outside the prefix's drives and the installation directory"});
      return;
    }
    NoteDirectory(dir);
    platform::FileFinder finder(machine_, pattern);
    platform::FindData found;
    while (finder.Next(found)) {
      if (found.attributes & platform::kFileAttributeDirectory) continue;  // never recursive
      const std::string path = dir + found.name;
      if (SamePath(machine_, path, target_.recordFile)) continue;  // deleted last
      DeleteOne(path, UninstallItemKind::ukFile);
    }
  }

  void DeleteOne(const std::string& path, UninstallItemKind kind) {
    if (!guard_.Allowed(path) && !shellGuard_.Allowed(path)) {
      report.refused.push_back({kind, path, "outside the prefix's drives and the installation directory"});
      return;
    }
    if (kind == UninstallItemKind::ukFile) NoteDirectory(DirectoryPart(path));
    const platform::ResolvedPath r = machine_.Resolve(path);
    if (r.error != 0 || !r.exists) return;  // already gone: nothing to report
    if (r.isDirectory) {
      report.kept.push_back({kind, r.full, "a directory, not a file"});
      return;
    }
    // A dry run leaves the file in place: a later key naming it again is no second removal.
    if (!gone_.insert(platform::UpperAscii(r.full)).second) return;
    const std::uint32_t error = dryRun_ ? 0 : platform::DeleteFile(machine_, r.full);
    if (error == 0)
      report.removed.push_back({kind, r.full, {}});
    else
      report.kept.push_back({kind, r.full, "cannot be deleted (error " + std::to_string(error) + ")"});
  }

  void RemoveFolder(const std::string& dir) {
    const bool shellFolder = std::any_of(shell_.begin(), shell_.end(), [&](const std::string& f) {
      return SamePath(machine_, dir, f);
    });
    if (shellFolder || IsProtectedFolder(machine_, dir, windows_)) {
      report.kept.push_back({UninstallItemKind::ukDirectory, dir, "a folder of Windows itself"});
      return;
    }
    if (!guard_.Allowed(dir) && !shellGuard_.Allowed(dir)) {
      report.refused.push_back({UninstallItemKind::ukDirectory, dir,
                                "outside the prefix's drives and the installation directory"});
      return;
    }
    const platform::ResolvedPath r = machine_.Resolve(dir);
    if (r.error != 0 || !r.exists || !r.isDirectory) return;
    std::uint32_t error = 0;
    if (dryRun_) {
      error = WouldBeEmpty(r.full) ? 0 : 145;
    } else {
      error = platform::RemoveDirectory(machine_, r.full);
    }
    if (error == 0)
      report.removed.push_back({UninstallItemKind::ukDirectory, r.full, {}});
    else
      report.kept.push_back({UninstallItemKind::ukDirectory, r.full,
                             error == 145 ? "not empty" : "cannot be removed (error " + std::to_string(error) + ")"});
  }

  // Directories inside the installation directory that recorded files lie in, deepest
  // first; they go when they end up empty.
  std::vector<std::string> RecordedSubdirectories() const {
    std::vector<std::string> dirs(notedDirs_.begin(), notedDirs_.end());
    std::sort(dirs.begin(), dirs.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return dirs;
  }

 private:
  void NoteDirectory(const std::string& dir) {
    const std::string full = Full(machine_, dir);
    if (full.empty() || SamePath(machine_, full, target_.installDir)) return;
    if (!PathWithin(machine_, full, target_.installDir)) return;
    if (std::find_if(notedDirs_.begin(), notedDirs_.end(), [&](const std::string& d) {
          return platform::EqualsNoCase(d, full);
        }) == notedDirs_.end())
      notedDirs_.push_back(full);
  }

  // In a dry run: whether the directory holds nothing but entries the run would remove.
  bool WouldBeEmpty(const std::string& dir) const {
    platform::FileFinder finder(machine_, dir + "\\*.*");
    platform::FindData found;
    while (finder.Next(found)) {
      if (found.name == "." || found.name == "..") continue;
      const std::string path = dir + "\\" + found.name;
      const bool going = std::any_of(report.removed.begin(), report.removed.end(),
                                     [&](const UninstallItem& i) { return SamePath(machine_, i.path, path); }) ||
                         SamePath(machine_, path, target_.recordFile);
      if (!going) return false;
    }
    return true;
  }

  const platform::Machine& machine_;
  const UninstallTarget& target_;
  bool dryRun_;
  WriteGuard guard_;
  WriteGuard shellGuard_;
  std::vector<std::string> shell_;
  std::string windows_;
  std::vector<std::string> notedDirs_;
  std::set<std::string> gone_;  // upper-case paths removed (or, in a dry run, to remove)
};

}  // namespace

std::optional<UninstallTarget> FindUninstallTarget(const platform::Machine& machine,
                                                   const platform::Registry& registry,
                                                   const std::string& titleOrPath) {
  if (titleOrPath.empty()) return std::nullopt;
  const std::string key = kUninstallKeyBase + titleOrPath;
  if (titleOrPath.find('\\') == std::string::npos && registry.KeyExists(platform::kHKeyLocalMachine, key)) {
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
  if (platform::DriveLetterOf(titleOrPath) == 0 || titleOrPath.size() < 2 || titleOrPath[1] != ':') {
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
      t->registryKey = dir && SamePath(machine, *dir, t->installDir);
    }
  }
  return t;
}

UninstallReport Uninstall(const platform::Machine& machine, platform::Registry& registry,
                          const UninstallTarget& target, const UninstallOptions& options) {
  Remover remover(machine, target, options.dryRun,
                  platform::ReadShellFolders(machine, registry));
  if (!target.recordFile.empty()) {
    const platform::ResolvedPath r = machine.Resolve(target.recordFile);
    if (r.error == 0 && r.exists && !r.isDirectory) {
      const platform::ProfileText record = platform::LoadProfile(r.host);
      for (const auto& key : record.KeyNames(kUninsSection)) remover.DeleteKeyEntry(key);
      for (const auto& folder : record.KeyNames(kFoldersSection)) remover.RemoveFolder(folder);
      for (const auto& dir : remover.RecordedSubdirectories()) remover.RemoveFolder(dir);
      remover.DeleteOne(r.full, UninstallItemKind::ukRecord);
    }
    if (!target.installDir.empty()) remover.RemoveFolder(target.installDir);
  }
  if (target.registryKey && !target.title.empty()) {
    const std::string key = kUninstallKeyBase + target.title;
    if (registry.KeyExists(platform::kHKeyLocalMachine, key)) {
      const long status = options.dryRun ? 0 : registry.DeleteTree(platform::kHKeyLocalMachine, key);
      const std::string shown = "HKEY_LOCAL_MACHINE\\" + key;
      if (status == 0)
        remover.report.removed.push_back({UninstallItemKind::ukRegistryKey, shown, {}});
      else
        remover.report.kept.push_back({UninstallItemKind::ukRegistryKey, shown,
                                       "cannot be deleted (status " + std::to_string(status) + ")"});
    }
  }
  return remover.report;
}

}  // namespace nolvo::setup
