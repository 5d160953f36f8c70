#include "platform/machine_registry.h"

#include <filesystem>

#include "platform/registry_error.h"
#include "platform/registry_file.h"
#include "platform/wine_registry_store.h"

namespace nolvo::platform {

namespace fs = std::filesystem;

std::unique_ptr<RegistryStore> MachineRegistryStore(const Machine& machine) {
  if (machine.IsWinePrefix())
    return std::make_unique<WineRegistryStore>(machine.Prefix(), machine.Codepage());
  return std::make_unique<RegTextStore>(machine.RegistryFile());
}

namespace {

// Writes `node` (at `path` below `root`) and everything below it; counts the keys.
void Copy(Registry& registry, RegKey root, const RegNode& node, const std::string& path,
          std::size_t& keys) {
  if (!path.empty()) {
    RegKey key;
    WinError status = registry.CreateKeyEx(root, path, &key, nullptr);
    if (status != RegCode::kSuccess) RaiseCreateKeyFailed(path, status);
    for (const auto& [folded, value] : node.values) {
      status = registry.SetValueEx(key, value.name, value.type, value.data);
      if (status != RegCode::kSuccess) {
        static_cast<void>(registry.CloseKey(key));  // an open handle always closes
        RaiseSetDataFailed(value.name, status);
      }
    }
    static_cast<void>(registry.CloseKey(key));                  // an open handle always closes
    if (!node.values.empty() || node.children.empty()) ++keys;  // parents are not counted
  }
  for (const auto& [folded, child] : node.children)
    Copy(registry, root, *child, path.empty() ? child->name : path + "\\" + child->name, keys);
}

}  // namespace

std::string MergeLeftoverRegistry(const Machine& machine, Registry& registry) {
  const fs::path file = machine.RegistryFile();
  std::error_code ec;
  if (!machine.IsWinePrefix() || !fs::is_regular_file(file, ec)) return {};
  RegTree old;
  ApplyRegText(old, ReadRegistryFile(file), file.string());
  std::size_t keys = 0;
  for (const RegKey root : {kHKeyLocalMachine, kHKeyCurrentUser}) {
    const auto node = old.Root(root);
    // Values right on a root have no key to go to in Wine's files but the root's own.
    for (const auto& [folded, value] : node->values) {
      const WinError status = registry.SetValueEx(root, value.name, value.type, value.data);
      if (status != RegCode::kSuccess) RaiseSetDataFailed(value.name, status);
    }
    Copy(registry, root, *node, "", keys);
  }
  const fs::path kept = file.string() + ".merged";
  fs::rename(file, kept, ec);
  if (ec)
    return "Merged the " + std::to_string(keys) + " keys of " + file.string() +
           " into Wine's registry, but could not rename it: " + ec.message();
  return "Merged the " + std::to_string(keys) + " keys of " + file.string() +
         " into Wine's registry (system.reg, user.reg); the old file is kept as " + kept.string() +
         ".";
}

}  // namespace nolvo::platform
