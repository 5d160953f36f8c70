#include "setup/shortcuts.h"

#include "platform/file_attributes.h"
#include "platform/find_file.h"
#include "platform/shell_link.h"
#include "platform/win_error.h"
#include "platform/win_path.h"
#include "util/ensure_directory_path.h"
#include "util/windows_directory.h"

namespace nolvo::setup {
namespace {

// Everything up to and including the last "\" or ":" (empty when there is neither).
std::string DirectoryPart(const std::string& path) {
  const std::size_t at = path.find_last_of("\\:");
  return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

}  // namespace

TShortcuts::TShortcuts(const platform::Machine& machine)
    : TShortcuts(machine, platform::DefaultShellFolders(util::WindowsDirectory(machine))) {}

TShortcuts::TShortcuts(const platform::Machine& machine, platform::ShellFolders locations)
    : Locations(std::move(locations)), machine_(machine) {
  RefreshFolderList();
}

void TShortcuts::RefreshFolderList() {
  FolderList.clear();
  const std::string pattern = Locations.programs + "\\*.*";
  platform::FileFinder finder(machine_, pattern);
  if (finder.Error() != platform::kErrorSuccess) return;
  constexpr std::uint32_t kSkipped =
      platform::kFileAttributeHidden | platform::kFileAttributeSystem;
  platform::FindData entry;
  while (finder.Next(entry)) {
    if (entry.attributes & kSkipped) continue;
    if (entry.name.empty() || entry.name.front() == '.') continue;
    if (platform::AsciiUpper(entry.name).find(".LNK") != std::string::npos) continue;
    FolderList.push_back(entry.name);
  }
}

std::vector<ShortcutPlacement> TShortcuts::Placements() const {
  const std::string file = ProgramName + ".lnk";
  std::vector<ShortcutPlacement> out;
  const auto inFolder = [&](const std::string& location) {
    const std::string dir = location + "\\" + Folder + "\\";
    out.push_back({dir, dir + file});
  };
  const platform::ShellFolders& at = Locations;
  if (FolderDesktop || FolderStartMenu) {
    if (FolderDesktop) {
      inFolder(at.desktop);
      inFolder(at.programs);
    }
    if (FolderStartMenu) inFolder(at.startMenu);
  } else {
    inFolder(at.programs);
  }
  // The desktop and the Start Menu are folders every Windows has; the modelled machine
  // makes them on first use.
  if (Desktop) out.push_back({at.desktop + "\\", at.desktop + "\\" + file});
  if (StartMenu) out.push_back({at.startMenu + "\\", at.startMenu + "\\" + file});
  return out;
}

ShortcutReport TShortcuts::CreateShortcuts(
    const std::function<bool(const std::string&)>& keep,
    const std::function<bool(const std::string&, const std::filesystem::path&)>& beforeSave) {
  const std::vector<ShortcutPlacement> placements = Placements();
  platform::ShellLink link(machine_);
  // A link without its target would start nothing: when the target is refused (empty
  // or longer than the ANSI interface takes) no link is written and every one is
  // reported. A target that does not exist (yet) is kept, as the shell keeps it.
  const platform::WinError pathResult = link.SetPath(RunProgram);
  // A folder or icon name too long for a link is left out of it; the link still starts
  // its target, so neither refusal stops the save.
  static_cast<void>(link.SetWorkingDirectory(DirectoryPart(RunProgram)));
  static_cast<void>(link.SetIconLocation(IconFile, 0));

  ShortcutReport report;
  for (const ShortcutPlacement& p : placements) {
    if (keep && keep(p.link)) {
      report.kept.push_back(p.link);
      continue;
    }
    if (pathResult == platform::kErrorInvalidParameter) {
      report.failed.push_back({p.link, pathResult});
      continue;
    }
    if (!p.folder.empty() && !platform::DirectoryExists(machine_, p.folder))
      util::EnsureDirectoryPath(machine_, p.folder);
    platform::BeforeRename beforeName;
    if (beforeSave)
      beforeName = [&](const std::filesystem::path& temp) { return beforeSave(p.link, temp); };
    const platform::WinError error = link.Save(p.link, beforeName);
    if (error == platform::kErrorSuccess)
      report.saved.push_back(p.link);
    else
      report.failed.push_back({p.link, error});
  }
  return report;
}

}  // namespace nolvo::setup
