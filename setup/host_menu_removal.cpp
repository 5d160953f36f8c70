// Removing the host menu entries an installation recorded.

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>

#include "platform/ascii.h"
#include "setup/created_files.h"
#include "setup/host_menu.h"

namespace nolvo::setup {

namespace fs = std::filesystem;

namespace {

constexpr const char* kMenuFilesKey = "Software\\Wine\\MenuFiles";

bool Within(const fs::path& path, const fs::path& root) {
  const fs::path rel = path.lexically_relative(root);
  return !rel.empty() && rel != "." && *rel.begin() != "..";
}

// Wine's note of a menu file: "\\?\unix" and the host path with backslashes.
std::string WineNoteName(const platform::Machine& machine, const fs::path& file) {
  std::string name = "\\\\?\\unix" + file.string();
  std::replace(name.begin(), name.end(), '/', '\\');
  return machine.Codepage().FromUtf8(name);
}

// Whether a .menu file in `menus` (other than those in `gone`) names the folder
// description `name`.
bool StillNamed(const fs::path& menus, const std::string& name, const std::vector<fs::path>& gone) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(menus, ec)) {
    if (e.path().extension() != ".menu" ||
        std::find(gone.begin(), gone.end(), e.path()) != gone.end())
      continue;
    std::ifstream in(e.path(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.find("<Directory>" + name + "</Directory>") != std::string::npos) return true;
  }
  return false;
}

// Folders that end up empty go, the deepest first (in a dry run: those that would be
// empty once the files `gone` and the other folders are).
void RemoveEmptyFolders(std::vector<fs::path> folders, const std::vector<fs::path>& gone,
                        const std::function<bool(const fs::path&, bool)>& allowed, bool dryRun,
                        UninstallReport& report) {
  std::sort(folders.begin(), folders.end(), [](const fs::path& a, const fs::path& b) {
    return a.native().size() > b.native().size();
  });
  for (const auto& dir : folders) {
    if (!allowed(dir, true)) {
      report.refused.push_back({UninstallItemKind::ukDirectory, dir.string(),
                                "not below the menu or shell folders", true});
      continue;
    }
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(dir, ec))) continue;
    bool empty = fs::is_empty(dir, ec);
    if (dryRun && !empty) {
      // Empty once the files above are gone?
      empty = true;
      for (const auto& e : fs::directory_iterator(dir, ec))
        empty = empty && (std::find(gone.begin(), gone.end(), e.path()) != gone.end() ||
                          std::find(folders.begin(), folders.end(), e.path()) != folders.end());
    }
    if (!empty || (!dryRun && ::rmdir(dir.c_str()) != 0)) {
      report.kept.push_back({UninstallItemKind::ukDirectory, dir.string(), "not empty", true});
      continue;
    }
    report.removed.push_back({UninstallItemKind::ukDirectory, dir.string(), {}, true});
  }
}

// Wine's notes of the entries it made, for the files `gone`.
void RemoveWineNotes(const platform::Machine& machine, platform::Registry& registry,
                     const std::vector<fs::path>& gone, bool dryRun, UninstallReport& report) {
  if (!registry.KeyExists(platform::kHKeyCurrentUser, kMenuFilesKey)) return;
  platform::RegKey key;
  if (!registry.OpenKeyEx(platform::kHKeyCurrentUser, kMenuFilesKey, &key).ok()) return;
  for (const auto& file : gone) {
    const std::string name = WineNoteName(machine, file);
    if (!registry.QueryValueEx(key, name, nullptr, nullptr, nullptr).ok()) continue;
    const std::string shown =
        std::string("HKEY_CURRENT_USER\\") + kMenuFilesKey + ": " + file.string();
    const platform::WinError status =
        dryRun ? platform::RegCode::kSuccess : registry.DeleteValue(key, name);
    if (status.ok())
      report.removed.push_back({UninstallItemKind::ukRegistryKey, shown, {}, true});
    else
      report.kept.push_back(
          {.kind = UninstallItemKind::ukRegistryKey,
           .path = shown,
           .reason = "cannot be deleted (status " + std::to_string(status.value()) + ")",
           .hostText = true,
           .failed = true});
  }
  // The notes key itself stays, emptied or not: Wine made it, not the installation.
  static_cast<void>(registry.CloseKey(key));  // an open handle always closes
}

}  // namespace

void RemoveHostMenu(const platform::Machine& machine, platform::Registry& registry,
                    const platform::ShellFolders& shell, const std::vector<fs::path>& recorded,
                    const HostMenuFolders& host, bool dryRun, UninstallReport& report) {
  const std::vector<fs::path> menuRoots{host.applications, host.menus, host.directories,
                                        host.icons};
  std::vector<fs::path> roots = menuRoots;
  for (const auto& folder : {shell.desktop, shell.startMenu})
    if (const platform::ResolvedPath r = machine.Resolve(folder); r.error.ok() && r.exists)
      roots.push_back(r.host);
  // Files lie below one of the folders; a folder may also be a menu folder itself (made
  // for the first entry), never a shell folder.
  const auto allowed = [&](const fs::path& p, bool folder) {
    const auto is = [&](const fs::path& root) { return p == root; };
    return p.is_absolute() && p.lexically_normal() == p &&
           (std::any_of(roots.begin(), roots.end(),
                        [&](const fs::path& root) { return Within(p, root); }) ||
            (folder && std::any_of(menuRoots.begin(), menuRoots.end(), is)));
  };

  std::vector<fs::path> folders;
  std::vector<fs::path> gone;
  // Folder descriptions last: one that another menu still names stays.
  std::vector<fs::path> ordered = recorded;
  std::stable_partition(ordered.begin(), ordered.end(),
                        [](const fs::path& p) { return p.extension() != ".directory"; });
  for (const auto& entry : ordered) {
    std::string text = entry.string();
    if (!text.empty() && text.back() == '/') {
      text.pop_back();
      folders.emplace_back(text);
      continue;
    }
    const fs::path file(text);
    if (!allowed(file, false) || !IsHostMenuFileKind(file)) {
      report.refused.push_back({UninstallItemKind::ukFile, text,
                                "not a menu file below the menu or shell folders", true});
      continue;
    }
    std::error_code ec;
    const auto status = fs::symlink_status(file, ec);
    if (status.type() == fs::file_type::not_found) continue;
    if (status.type() != fs::file_type::regular) {
      report.kept.push_back({UninstallItemKind::ukFile, text, "not a plain file", true});
      continue;
    }
    if (file.extension() == ".directory" &&
        StillNamed(host.menus, file.filename().string(), gone)) {
      report.kept.push_back(
          {UninstallItemKind::ukFile, text, "another menu entry still uses it", true});
      continue;
    }
    if (!dryRun && ::unlink(file.c_str()) != 0) {
      report.kept.push_back({.kind = UninstallItemKind::ukFile,
                             .path = text,
                             .reason = "cannot be deleted",
                             .hostText = true,
                             .failed = true});
      continue;
    }
    report.removed.push_back({UninstallItemKind::ukFile, text, {}, true});
    gone.push_back(file);
  }

  RemoveEmptyFolders(folders, gone, allowed, dryRun, report);
  RemoveWineNotes(machine, registry, gone, dryRun, report);
}

}  // namespace nolvo::setup
