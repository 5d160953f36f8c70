#include "platform/registry_tree.h"

#include <utility>

namespace nolvo::platform {

namespace {

struct RootName {
  RegKey key;
  const char* name;
};

constexpr RootName kRoots[] = {
    {kHKeyClassesRoot, "HKEY_CLASSES_ROOT"},     {kHKeyCurrentUser, "HKEY_CURRENT_USER"},
    {kHKeyLocalMachine, "HKEY_LOCAL_MACHINE"},   {kHKeyUsers, "HKEY_USERS"},
    {kHKeyCurrentConfig, "HKEY_CURRENT_CONFIG"},
};

unsigned char FoldByte(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  // Windows-1252: a-grave .. thorn (except the division sign) map 0x20 down.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A:
      return 0x8A;  // s caron
    case 0x9C:
      return 0x8C;  // oe
    case 0x9E:
      return 0x8E;  // z caron
    case 0xFF:
      return 0x9F;  // y diaeresis
    default:
      return c;
  }
}

bool HasLineBreakOrNul(std::string_view name) {
  return name.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos;
}

}  // namespace

std::vector<std::uint8_t> RegStringData(std::string_view text) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

std::string FoldRegName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
  return folded;
}

std::shared_ptr<RegNode> RegNode::FindChild(std::string_view child) const {
  const auto it = children.find(FoldRegName(child));
  return it == children.end() ? nullptr : it->second;
}

const RegValue* RegNode::FindValue(std::string_view value) const {
  const auto it = values.find(FoldRegName(value));
  return it == values.end() ? nullptr : &it->second;
}

std::optional<std::vector<std::string_view>> SplitRegPath(std::string_view path) {
  std::vector<std::string_view> parts;
  if (path.empty()) return parts;
  if (path.front() == '\\') return std::nullopt;
  if (path.back() == '\\') path.remove_suffix(1);
  while (true) {
    const auto cut = path.find('\\');
    const std::string_view part = path.substr(0, cut);
    if (part.empty()) return std::nullopt;
    parts.push_back(part);
    if (cut == std::string_view::npos) return parts;
    path.remove_prefix(cut + 1);
  }
}

bool IsValidKeyName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxRegKeyName &&
         name.find('\\') == std::string_view::npos && !HasLineBreakOrNul(name);
}

bool IsValidValueName(std::string_view name) { return !HasLineBreakOrNul(name); }

RegTree::RegTree() : top_(std::make_shared<RegNode>()) {
  for (const RootName& root : kRoots) {
    bool created = false;
    AddChild(top_, root.name, created);
  }
}

std::shared_ptr<RegNode> RegTree::Root(RegKey key) const {
  for (const RootName& root : kRoots)
    if (root.key == key) return top_->FindChild(root.name);
  return nullptr;
}

std::shared_ptr<RegNode> RegTree::Root(std::string_view name) const {
  return top_->FindChild(name);
}

void RegTree::Clear() {
  for (auto& [folded, root] : top_->children) {
    while (!root->children.empty()) DetachNode(root->children.begin()->second);
    root->values.clear();
  }
}

std::shared_ptr<RegNode> AddChild(const std::shared_ptr<RegNode>& parent, std::string_view name,
                                  bool& created) {
  std::string folded = FoldRegName(name);
  const auto it = parent->children.find(folded);
  created = it == parent->children.end();
  if (!created) return it->second;
  auto child = std::make_shared<RegNode>();
  child->name = std::string(name);
  child->parent = parent;
  parent->children.emplace(std::move(folded), child);
  return child;
}

namespace {
void MarkDeleted(RegNode& node, bool deleted) {
  node.deleted = deleted;
  for (auto& [folded, child] : node.children) MarkDeleted(*child, deleted);
}
}  // namespace

void DetachNode(const std::shared_ptr<RegNode>& node) {
  const std::shared_ptr<RegNode> keep = node;  // `node` may refer into the parent's map
  if (const auto parent = keep->parent.lock()) parent->children.erase(FoldRegName(keep->name));
  keep->parent.reset();
  MarkDeleted(*keep, true);
}

void ReattachNode(const std::shared_ptr<RegNode>& parent, const std::shared_ptr<RegNode>& node) {
  MarkDeleted(*node, false);
  node->parent = parent;
  parent->children.emplace(FoldRegName(node->name), node);
}

std::size_t RegNodeDepth(const RegNode& node) {
  std::size_t depth = 0;
  for (auto p = node.parent.lock(); p && p->parent.lock(); p = p->parent.lock()) ++depth;
  return depth;
}

std::string RegNodePath(const RegNode& node) {
  std::string path = node.name;
  for (auto p = node.parent.lock(); p && p->parent.lock(); p = p->parent.lock())
    path = p->name + "\\" + path;
  return path;
}

}  // namespace nolvo::platform
