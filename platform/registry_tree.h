#pragma once
// The in-memory registry tree. Key and value names compare case-insensitively (the ASCII
// and Windows-1252 letters fold to upper case) and keep the spelling they were created
// with. Children and values are held in folded-name order, which is also the order the
// store file and the enumerations use. A top node holds the predefined roots
// ("HKEY_LOCAL_MACHINE", ...), which always exist and cannot be deleted.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry_types.h"

namespace nolvo::platform {

// Folds a name for comparison: ASCII and Windows-1252 letters to upper case.
std::string FoldRegName(std::string_view name);

struct RegNode {
  std::string name;               // spelling as created
  std::weak_ptr<RegNode> parent;  // empty for the top node and detached subtrees
  bool deleted = false;           // set on every node of a deleted subtree
  // Kept exactly as its store file holds it (a name this code page cannot spell, or a key
  // the file holds twice): its values cannot change, nor can keys be made below it.
  bool fixed = false;
  std::map<std::string, std::shared_ptr<RegNode>> children;  // by folded name
  std::map<std::string, RegValue> values;                    // by folded name

  std::shared_ptr<RegNode> FindChild(std::string_view child) const;
  const RegValue* FindValue(std::string_view value) const;
};

// Splits a key path at "\" into its components. A single trailing "\" is allowed; an
// empty path gives no components. Returns nullopt for a leading "\" or an empty
// component ("a\\b").
std::optional<std::vector<std::string_view>> SplitRegPath(std::string_view path);

// Windows' limits: a key name has at most 255 characters, a key lies at most 512 levels
// below its root.
inline constexpr std::size_t kMaxRegKeyName = 255;
inline constexpr std::size_t kMaxRegDepth = 512;

// True when `name` can be a key name: 1 to 255 characters, no "\", no NUL, CR or LF (a
// key line of the store file could not hold them).
bool IsValidKeyName(std::string_view name);
// True when `name` can be a value name: no NUL, CR or LF.
bool IsValidValueName(std::string_view name);

class RegTree {
 public:
  RegTree();

  const std::shared_ptr<RegNode>& Top() const { return top_; }
  // The root node of a predefined key, or nullptr when `key` is not one.
  std::shared_ptr<RegNode> Root(RegKey key) const;
  // The root node named `name` ("HKEY_LOCAL_MACHINE", any case), or nullptr.
  std::shared_ptr<RegNode> Root(std::string_view name) const;

  // Removes every key and value below the roots.
  void Clear();

 private:
  std::shared_ptr<RegNode> top_;
};

// The child `name` of `parent`, created when missing (`created` tells which). An existing
// child keeps its spelling.
std::shared_ptr<RegNode> AddChild(const std::shared_ptr<RegNode>& parent, std::string_view name,
                                  bool& created);
// Detaches `node` from its parent and marks its whole subtree deleted.
void DetachNode(const std::shared_ptr<RegNode>& node);
// Puts a detached node back under `parent` and clears the deleted marks of its subtree.
void ReattachNode(const std::shared_ptr<RegNode>& parent, const std::shared_ptr<RegNode>& node);
// How many levels `node` lies below its root (a root: 0).
std::size_t RegNodeDepth(const RegNode& node);
// Full path of a node from its root, e.g. "HKEY_LOCAL_MACHINE\Software\Nolvo".
std::string RegNodePath(const RegNode& node);

}  // namespace nolvo::platform
