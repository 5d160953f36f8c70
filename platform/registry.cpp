#include "platform/registry.h"

#include <utility>

#include "platform/registry_error.h"
#include "platform/registry_file.h"

namespace nolvo::platform {

namespace {

bool IsRoot(const RegNode& node) {
  const auto parent = node.parent.lock();
  return parent && !parent->parent.lock();
}

}  // namespace

Registry::Registry() = default;

Registry::Registry(std::filesystem::path file)
    : Registry(std::make_unique<RegTextStore>(std::move(file))) {}

Registry::Registry(std::unique_ptr<RegistryStore> store) : store_(std::move(store)) {
  if (store_) store_->Load(tree_);
}

bool Registry::Refresh() {
  if (!store_ || !store_->ChangedSinceLoad()) return false;
  RegTree fresh;
  store_->Load(fresh);
  tree_ = std::move(fresh);
  handles_.clear();
  return true;
}

WinError Registry::Save() { return store_ ? store_->Save(tree_) : RegCode::kSuccess; }

std::shared_ptr<RegNode> Registry::Resolve(RegKey key, WinError& status) const {
  std::shared_ptr<RegNode> node;
  if (key.value & 0x80000000u) {
    node = tree_.Root(key);
  } else if (const auto it = handles_.find(key.value); it != handles_.end()) {
    node = it->second;
  }
  status = !node           ? RegCode::kInvalidHandle
           : node->deleted ? RegCode::kKeyDeleted
                           : RegCode::kSuccess;
  return status == RegCode::kSuccess ? node : nullptr;
}

std::shared_ptr<RegNode> Registry::Find(RegKey parent, std::string_view sub_key,
                                        WinError& status) const {
  std::shared_ptr<RegNode> node = Resolve(parent, status);
  if (!node) return nullptr;
  const auto parts = SplitRegPath(sub_key);
  if (!parts) {
    status = RegCode::kBadPathname;
    return nullptr;
  }
  for (const std::string_view part : *parts) {
    node = node->FindChild(part);
    if (!node) {
      status = RegCode::kFileNotFound;
      return nullptr;
    }
  }
  return node;
}

RegKey Registry::NewHandle(std::shared_ptr<RegNode> node) {
  const std::uint32_t id = next_handle_++;
  handles_.emplace(id, std::move(node));
  return RegKey{id};
}

WinError Registry::CreateKeyEx(RegKey parent, std::string_view sub_key, RegKey* result,
                               RegDisposition* disposition) {
  WinError status = RegCode::kSuccess;
  std::shared_ptr<RegNode> node = Resolve(parent, status);
  if (!node) return status;
  if (!result) return RegCode::kInvalidParameter;
  if (read_only_) return RegCode::kAccessDenied;
  const auto parts = SplitRegPath(sub_key);
  if (!parts) return RegCode::kBadPathname;
  for (const std::string_view part : *parts)
    if (!IsValidKeyName(part)) return RegCode::kInvalidParameter;
  if (RegNodeDepth(*node) + parts->size() > kMaxRegDepth) return RegCode::kInvalidParameter;

  std::shared_ptr<RegNode> first_created;
  for (const std::string_view part : *parts) {
    if (!first_created && node->fixed && !node->FindChild(part)) return RegCode::kAccessDenied;
    bool created = false;
    node = AddChild(node, part, created);
    if (created && !first_created) first_created = node;
  }
  if (first_created) {
    status = Save();
    if (status != RegCode::kSuccess) {
      DetachNode(first_created);
      return status;
    }
  }
  *result = NewHandle(node);
  if (disposition)
    *disposition =
        first_created ? RegDisposition::rdCreatedNewKey : RegDisposition::rdOpenedExistingKey;
  return RegCode::kSuccess;
}

WinError Registry::OpenKeyEx(RegKey parent, std::string_view sub_key, RegKey* result) {
  WinError status = RegCode::kSuccess;
  std::shared_ptr<RegNode> node = Find(parent, sub_key, status);
  if (!node) return status;
  if (!result) return RegCode::kInvalidParameter;
  *result = NewHandle(std::move(node));
  return RegCode::kSuccess;
}

WinError Registry::CloseKey(RegKey key) {
  if (key.value & 0x80000000u) return tree_.Root(key) ? RegCode::kSuccess : RegCode::kInvalidHandle;
  return handles_.erase(key.value) ? RegCode::kSuccess : RegCode::kInvalidHandle;
}

WinError Registry::SetValueEx(RegKey key, std::string_view value_name, std::uint32_t type,
                              std::span<const std::uint8_t> data) {
  WinError status = RegCode::kSuccess;
  const std::shared_ptr<RegNode> node = Resolve(key, status);
  if (!node) return status;
  if (read_only_ || node->fixed) return RegCode::kAccessDenied;
  if (!IsValidValueName(value_name)) return RegCode::kInvalidParameter;

  const std::string folded = FoldRegName(value_name);
  std::optional<RegValue> old;
  RegValue value{std::string(value_name), type, {data.begin(), data.end()}};
  if (const auto it = node->values.find(folded); it != node->values.end()) {
    old = it->second;
    value.name = it->second.name;  // an existing value keeps its spelling
  }
  node->values.insert_or_assign(folded, std::move(value));
  status = Save();
  if (status != RegCode::kSuccess) {
    if (old)
      node->values.insert_or_assign(folded, std::move(*old));
    else
      node->values.erase(folded);
  }
  return status;
}

WinError Registry::QueryValueEx(RegKey key, std::string_view value_name, std::uint32_t* type,
                                std::uint8_t* data, std::uint32_t* size) const {
  WinError status = RegCode::kSuccess;
  const std::shared_ptr<RegNode> node = Resolve(key, status);
  if (!node) return status;
  const RegValue* value = node->FindValue(value_name);
  if (!value) return RegCode::kFileNotFound;
  if (data && !size) return RegCode::kInvalidParameter;
  if (type) *type = value->type;
  const auto needed = static_cast<std::uint32_t>(value->data.size());
  if (data && *size < needed) {
    *size = needed;
    return RegCode::kMoreData;
  }
  if (data) std::copy(value->data.begin(), value->data.end(), data);
  if (size) *size = needed;
  return RegCode::kSuccess;
}

WinError Registry::EnumKeyEx(RegKey key, std::uint32_t index, std::string* name) const {
  WinError status = RegCode::kSuccess;
  const std::shared_ptr<RegNode> node = Resolve(key, status);
  if (!node) return status;
  if (index >= node->children.size()) return RegCode::kNoMoreItems;
  if (name) *name = std::next(node->children.begin(), index)->second->name;
  return RegCode::kSuccess;
}

WinError Registry::EnumValue(RegKey key, std::uint32_t index, RegValue* value) const {
  WinError status = RegCode::kSuccess;
  const std::shared_ptr<RegNode> node = Resolve(key, status);
  if (!node) return status;
  if (index >= node->values.size()) return RegCode::kNoMoreItems;
  if (value) *value = std::next(node->values.begin(), index)->second;
  return RegCode::kSuccess;
}

WinError Registry::DeleteKey(RegKey parent, std::string_view sub_key) {
  WinError status = RegCode::kSuccess;
  const std::shared_ptr<RegNode> node = Find(parent, sub_key, status);
  if (!node) return status;
  if (read_only_ || node->fixed || IsRoot(*node) || !node->children.empty())
    return RegCode::kAccessDenied;
  return RemoveNode(node);
}

WinError Registry::RemoveNode(const std::shared_ptr<RegNode>& node) {
  const auto owner = node->parent.lock();
  DetachNode(node);
  const WinError status = Save();
  if (status != RegCode::kSuccess) ReattachNode(owner, node);
  return status;
}

WinError Registry::DeleteTree(RegKey parent, std::string_view sub_key) {
  WinError status = RegCode::kSuccess;
  const std::shared_ptr<RegNode> node = Find(parent, sub_key, status);
  if (!node) return status;
  if (read_only_ || node->fixed) return RegCode::kAccessDenied;

  // A named subkey goes as a whole (roots cannot); an empty name empties the key itself.
  if (!sub_key.empty()) return IsRoot(*node) ? RegCode::kAccessDenied : RemoveNode(node);
  std::vector<std::shared_ptr<RegNode>> children;
  for (const auto& [folded, child] : node->children) children.push_back(child);
  auto values = std::move(node->values);
  node->values.clear();
  for (const auto& child : children) DetachNode(child);
  status = Save();
  if (status != RegCode::kSuccess) {
    for (const auto& child : children) ReattachNode(node, child);
    node->values = std::move(values);
  }
  return status;
}

WinError Registry::DeleteValue(RegKey key, std::string_view value_name) {
  WinError status = RegCode::kSuccess;
  const std::shared_ptr<RegNode> node = Resolve(key, status);
  if (!node) return status;
  const auto it = node->values.find(FoldRegName(value_name));
  if (it == node->values.end()) return RegCode::kFileNotFound;
  if (read_only_ || node->fixed) return RegCode::kAccessDenied;
  auto old = std::move(it->second);
  const std::string folded = it->first;
  node->values.erase(it);
  status = Save();
  if (status != RegCode::kSuccess) node->values.emplace(folded, std::move(old));
  return status;
}

}  // namespace nolvo::platform
