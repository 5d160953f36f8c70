#include "setup/staging_folder.h"

#include <pwd.h>

#include <cctype>
#include <cstdlib>

#include "archive/media/digest_lists.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "platform/find_file.h"
#include "platform/win_path.h"

namespace nolvo::setup {

namespace {

namespace fs = std::filesystem;

bool IsSegmentName(std::string_view name, std::string_view base) {
  if (name.size() < base.size() + 4 ||
      !platform::EqualsIgnoreCase(name.substr(0, base.size()), base) || name[base.size()] != '.')
    return false;
  const std::string_view digits = name.substr(base.size() + 1);
  for (char c : digits)
    if (c < '0' || c > '9') return false;
  return digits.size() >= 3;
}

std::optional<fs::path> Canonical(const fs::path& p) {
  std::error_code ec;
  fs::path c = fs::canonical(p, ec);
  if (ec) return std::nullopt;
  return c;
}

// Every home folder the host knows: $HOME and each account's home.
std::vector<fs::path> HomeFolders() {
  std::vector<fs::path> homes;
  if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0')
    if (auto c = Canonical(h)) homes.push_back(*c);
  ::setpwent();
  while (const passwd* pw = ::getpwent())
    if (pw->pw_dir != nullptr && *pw->pw_dir != '\0')
      if (auto c = Canonical(pw->pw_dir)) homes.push_back(*c);
  ::endpwent();
  return homes;
}

bool Within(const fs::path& path, const fs::path& root) {
  const fs::path rel = path.lexically_relative(root);
  return !rel.empty() && *rel.begin() != "..";
}

}  // namespace

bool IsSetupMediumFile(std::string_view name, std::string_view bitmapFile,
                       std::string_view segmentBase) {
  if (platform::EqualsIgnoreCase(name, "install.cfg") ||
      platform::EqualsIgnoreCase(name, "install.exe"))
    return true;
  if (!bitmapFile.empty() && platform::EqualsIgnoreCase(name, bitmapFile)) return true;
  return IsSegmentName(name, segmentBase) || media::IsDigestListName(name);
}

std::optional<std::string> StagingFolderRefusal(const platform::Machine& machine,
                                                const fs::path& folder) {
  const auto dir = Canonical(folder);
  if (!dir) return std::nullopt;  // a folder that is not there is refused elsewhere
  const std::string shown = dir->string();
  if (*dir == dir->root_path()) return shown + " is a file system root";
  for (char letter = 'A'; letter <= 'Z'; ++letter)
    if (const auto root = machine.DriveRoot(letter); root && *root == *dir)
      return shown + " is the root of drive " + std::string(1, letter) + ":";
  for (const auto& home : HomeFolders())
    if (home == *dir) return shown + " is a home folder";
  if (const auto prefix = Canonical(machine.Prefix());
      prefix && (*prefix == *dir || Within(*dir, *prefix)))
    return shown + " is the prefix " + prefix->string() + " or lies inside it";
  return std::nullopt;
}

std::string StagingFolderArgument(const platform::Machine& machine, const std::string& arg) {
  if (arg.size() >= 2 && std::isalpha(static_cast<unsigned char>(arg[0])) && arg[1] == ':')
    return machine.Codepage().FromUtf8(arg);
  std::error_code ec;
  const fs::path host = fs::absolute(arg, ec);
  return ec ? std::string() : machine.ToWindows(host);
}

StagingCleanup ClearStagingFolder(const platform::Machine& machine, const std::string& dir,
                                  std::string_view bitmapFile) {
  StagingCleanup result;
  platform::FileFinder finder(machine, dir + "\\*.*");
  platform::FindData entry;
  while (finder.Next(entry)) {
    if (entry.name == "." || entry.name == "..") continue;
    const bool folder = (entry.attributes & platform::kFileAttributeDirectory) != 0;
    if (folder || !IsSetupMediumFile(entry.name, bitmapFile)) {
      result.left.push_back(entry.name);
      continue;
    }
    if (platform::DeleteFile(machine, dir + "\\" + entry.name).ok())
      result.deleted.push_back(entry.name);
    else
      result.failed.push_back(entry.name);
  }
  result.removed = platform::RemoveDirectory(machine, dir).ok();
  return result;
}

}  // namespace nolvo::setup
