#include "setup/write_guard.h"

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
}  // namespace

bool PathWithin(const platform::Machine& machine, const std::string& path, const std::string& dir) {
  const std::string p = TreeKey(machine, path);
  const std::string d = TreeKey(machine, dir);
  return !p.empty() && !d.empty() && p.compare(0, d.size(), d) == 0;
}

void WriteGuard::AllowTree(const std::string& directory) {
  std::string key = TreeKey(machine_, directory);
  if (!key.empty()) trees_.push_back(std::move(key));
}

bool WriteGuard::Allowed(const std::string& path) const {
  if (allowHostPaths_) return true;
  if (machine_.IsOnPrefixDrive(path)) return true;
  const std::string p = TreeKey(machine_, path);
  if (p.empty()) return false;
  for (const auto& tree : trees_)
    if (p.compare(0, tree.size(), tree) == 0) return true;
  return false;
}

}  // namespace nolvo::setup
