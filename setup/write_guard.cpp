#include "setup/write_guard.h"

#include <filesystem>
#include <optional>

#include "platform/win_path.h"

namespace nolvo::setup {

namespace {
// The full path in upper case with one trailing "\", or empty when it is no valid path.
std::string TreeKey(const platform::Machine& machine, const std::string& path) {
  std::string full;
  if (path.empty() || !machine.FullPath(path, full).ok()) return {};
  full = platform::AsciiUpper(full);
  if (full.back() != '\\') full += '\\';
  return full;
}

namespace fs = std::filesystem;

// Where the Windows path `path` lies on the host with every link followed: the deepest
// part of it that resolves, made canonical, and the missing names below it as given.
std::optional<fs::path> RealLocation(const platform::Machine& machine, const std::string& path) {
  std::string full;
  if (path.empty() || !machine.FullPath(path, full).ok()) return std::nullopt;
  if (full.size() > 3 && full.back() == '\\') full.pop_back();
  std::vector<std::string> missing;
  while (true) {
    const platform::ResolvedPath r = machine.Resolve(full);
    if (r.error.ok() && !r.host.empty()) {
      std::error_code ec;
      fs::path real = fs::weakly_canonical(r.host, ec);
      if (ec) return std::nullopt;
      for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        real /= machine.Codepage().ToUtf8(*it);
      return real.lexically_normal();
    }
    const auto cut = full.find_last_of('\\');
    if (full.size() <= 3 || cut == std::string::npos || cut < 2) return std::nullopt;
    missing.push_back(full.substr(cut + 1));
    full.erase(cut < 3 ? 3 : cut);
  }
}

// Whether the host path `path` is `root` or lies below it (both canonical).
bool IsWithin(const fs::path& path, const fs::path& root) {
  const fs::path rel = path.lexically_relative(root);
  return !rel.empty() && *rel.begin() != "..";
}
}  // namespace

bool PathWithin(const platform::Machine& machine, const std::string& path, const std::string& dir) {
  const std::string p = TreeKey(machine, path);
  const std::string d = TreeKey(machine, dir);
  return !p.empty() && !d.empty() && p.compare(0, d.size(), d) == 0;
}

void WriteGuard::AllowTree(const std::string& directory) {
  std::string key = TreeKey(machine_, directory);
  if (!key.empty()) trees_.push_back({std::move(key), directory});
}

bool WriteGuard::Allowed(const std::string& path) const {
  if (allowHostPaths_) return true;
  if (machine_.IsOnPrefixDrive(path)) return true;
  const std::string p = TreeKey(machine_, path);
  if (p.empty()) return false;
  std::optional<fs::path> real;
  for (const auto& tree : trees_) {
    if (p.compare(0, tree.key.size(), tree.key) != 0) continue;
    // Inside the tree by name; a link in it may still lead elsewhere on the host.
    if (!real) real = RealLocation(machine_, path);
    const auto root = RealLocation(machine_, tree.directory);
    if (real && root && IsWithin(*real, *root)) return true;
  }
  return false;
}

}  // namespace nolvo::setup
