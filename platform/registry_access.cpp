// The convenience side of the registry store, built on its Win32-shaped entry points.

#include "platform/registry.h"
#include "platform/registry_error.h"
#include "platform/registry_file.h"

namespace nolvo::platform {

void Registry::WriteString(RegKey root, std::string_view sub_key, std::string_view value_name,
                           std::string_view text) {
  RegKey key;
  WinError status = CreateKeyEx(root, sub_key, &key, nullptr);
  if (status != RegCode::kSuccess) RaiseCreateKeyFailed(sub_key, status);
  status = SetValueEx(key, value_name, RegType::kSz, RegStringData(text));
  static_cast<void>(CloseKey(key));  // an open handle always closes
  if (status != RegCode::kSuccess) RaiseSetDataFailed(value_name, status);
}

std::optional<std::string> Registry::ReadString(RegKey root, std::string_view sub_key,
                                                std::string_view value_name) const {
  WinError status = RegCode::kSuccess;
  const auto node = Find(root, sub_key, status);
  const RegValue* value = node ? node->FindValue(value_name) : nullptr;
  if (!value || (value->type != RegType::kSz && value->type != RegType::kExpandSz))
    return std::nullopt;
  std::string text(value->data.begin(), value->data.end());
  // The text ends at its first NUL, as a reader of the A-style API sees it.
  if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text;
}

bool Registry::KeyExists(RegKey root, std::string_view sub_key) const {
  WinError status = RegCode::kSuccess;
  return Find(root, sub_key, status) != nullptr;
}

std::vector<std::string> Registry::SubKeyNames(RegKey root, std::string_view sub_key) const {
  WinError status = RegCode::kSuccess;
  std::vector<std::string> names;
  if (const auto node = Find(root, sub_key, status))
    for (const auto& [folded, child] : node->children) names.push_back(child->name);
  return names;
}

std::vector<RegValue> Registry::Values(RegKey root, std::string_view sub_key) const {
  WinError status = RegCode::kSuccess;
  std::vector<RegValue> values;
  if (const auto node = Find(root, sub_key, status))
    for (const auto& [folded, value] : node->values) values.push_back(value);
  return values;
}

std::optional<std::string> Registry::KeyPath(RegKey key) const {
  WinError status = RegCode::kSuccess;
  const auto node = Resolve(key, status);
  if (!node) return std::nullopt;
  return RegNodePath(*node);
}

std::string Registry::Dump() const { return DumpRegText(tree_); }

}  // namespace nolvo::platform
