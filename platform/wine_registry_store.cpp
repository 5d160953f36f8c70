#include "platform/wine_registry_store.h"

#include <algorithm>
#include <chrono>
#include <set>

#include "platform/atomic_file.h"
#include "platform/le_bytes.h"
#include "platform/registry_file.h"
#include "platform/wine_server.h"

namespace nolvo::platform {

namespace fs = std::filesystem;

namespace {

bool IsStringType(std::uint32_t type) { return type == 1 || type == 2 || type == 7; }

std::u16string Widen(const CodePage& cp, std::string_view ansi) {
  std::u16string units;
  for (const char c : ansi)
    units.push_back(static_cast<char16_t>(cp.ToUnicode(static_cast<std::uint8_t>(c))));
  return units;
}

// False when some unit has no byte in the code page (it becomes '?').
bool Narrow(const CodePage& cp, std::u16string_view units, std::string& out) {
  bool exact = true;
  for (const char16_t u : units) {
    const auto byte = (u >= 0xD800 && u <= 0xDFFF) ? std::nullopt : cp.FromUnicode(u);
    exact = exact && byte.has_value();
    out.push_back(byte ? static_cast<char>(*byte) : '?');
  }
  return exact;
}

// A hive value as the tree holds it; `exactName` tells whether its name converted exactly.
RegValue TreeValue(const CodePage& cp, const WineHiveValue& v, bool& exactName) {
  RegValue r;
  exactName = Narrow(cp, v.name, r.name);
  r.type = v.type;
  if (IsStringType(v.type) && v.data.size() % 2 == 0) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < v.data.size(); i += 2)
      units.push_back(static_cast<char16_t>(GetUInt16(&v.data[i])));
    std::string bytes;
    Narrow(cp, units, bytes);
    r.data.assign(bytes.begin(), bytes.end());
  } else {
    r.data = v.data;
  }
  return r;
}

WineHiveValue HiveValue(const CodePage& cp, const RegValue& r) {
  WineHiveValue v;
  v.name = Widen(cp, r.name);
  v.type = r.type;
  if (IsStringType(r.type)) {
    for (const std::uint8_t b : r.data) {
      AppendUInt16(v.data, static_cast<std::uint16_t>(cp.ToUnicode(b)));
    }
  } else {
    v.data = r.data;
  }
  return v;
}

std::uint64_t ClockFiletime() {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100;
  return static_cast<std::uint64_t>(ticks) + 116444736000000000ull;
}

std::string ArchLine(const std::string& preamble) {
  const auto at = preamble.find("#arch=");
  if (at == std::string::npos) return {};
  const auto end = preamble.find_first_of("\r\n", at);
  return preamble.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::symlink_status(p, ec).type() != fs::file_type::not_found && !ec;
}

}  // namespace

WineRegistryStore::WineRegistryStore(fs::path prefix, CodePage codePage,
                                     std::function<std::uint64_t()> now)
    : prefix_(std::move(prefix)),
      codePage_(std::move(codePage)),
      now_(now ? std::move(now) : ClockFiletime) {}

void WineRegistryStore::Load(RegTree& tree) {
  // Built aside, so a file that fails to load leaves the hives as they were.
  std::vector<Hive> hives;
  hives.push_back(
      {prefix_ / "system.reg", kHKeyLocalMachine, "REGISTRY\\\\Machine", {}, {}, {}, {}});
  hives.push_back({prefix_ / "user.reg",
                   kHKeyCurrentUser,
                   "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000",
                   {},
                   {},
                   {},
                   {}});
  std::string arch;
  for (Hive& hive : hives) {
    if (!Exists(hive.file)) continue;
    hive.text = ReadRegistryFile(hive.file);
    hive.doc = ParseWineHive(hive.text, hive.file.string());
    if (arch.empty()) arch = ArchLine(hive.doc.preamble);
  }
  for (Hive& hive : hives) {
    if (!Exists(hive.file)) hive.doc.preamble = NewWineHivePreamble(hive.rootName, arch);
    Link(hive, tree, true);
  }
  hives_ = std::move(hives);
}

// Ties every key block to its node: with `build`, makes the nodes and their values (the
// first load); else finds them again (after a save).
void WineRegistryStore::Link(Hive& hive, const RegTree& tree, bool build) {
  hive.nodes.assign(hive.doc.keys.size(), {});
  hive.loaded.assign(hive.doc.keys.size(), {});
  std::set<const RegNode*> claimed;
  for (std::size_t i = 0; i < hive.doc.keys.size(); ++i) {
    const WineHiveKey& block = hive.doc.keys[i];
    std::shared_ptr<RegNode> node = tree.Root(hive.root);
    bool exactPath = true;
    for (const std::u16string& part : block.path) {
      std::string name;
      exactPath = Narrow(codePage_, part, name) && IsValidKeyName(name) && exactPath;
      if (!build) {
        node = node ? node->FindChild(name) : nullptr;
        continue;
      }
      bool created = false;
      node = AddChild(node, name, created);
      if (!exactPath) node->fixed = true;
    }
    if (!node) continue;
    if (build) {
      if (!claimed.insert(node.get()).second) node->fixed = true;
      for (const WineHiveValue& v : block.values) {
        bool exactName = true;
        RegValue value = TreeValue(codePage_, v, exactName);
        std::string folded = FoldRegName(value.name);
        if (!exactName || node->values.count(folded)) node->fixed = true;
        node->values.insert_or_assign(std::move(folded), std::move(value));
      }
    }
    hive.nodes[i] = node;
    hive.loaded[i] = node->values;
  }
}

std::string WineRegistryStore::ChangedBlock(const WineHiveKey& block, const RegNode& node,
                                            std::uint64_t time) const {
  std::vector<WineHiveValue> values;
  for (const auto& [folded, value] : node.values) {
    WineHiveValue v = HiveValue(codePage_, value);
    // A value that did not change keeps its line exactly.
    for (const WineHiveValue& old : block.values) {
      bool exactName = true;
      if (TreeValue(codePage_, old, exactName) == value) {
        v.text = old.text;
        break;
      }
    }
    values.push_back(std::move(v));
  }
  std::sort(values.begin(), values.end(), [](const WineHiveValue& a, const WineHiveValue& b) {
    return CompareWineNames(a.name, b.name) < 0;
  });
  std::vector<std::string> text;
  for (const auto& v : values) text.push_back(v.text.empty() ? FormatWineHiveValue(v) : v.text);
  return FormatWineHiveKey(block.path, block.options, text, time);
}

std::string WineRegistryStore::NewBlock(const RegNode& node,
                                        const std::vector<std::u16string>& path,
                                        std::uint64_t time) const {
  WineHiveKey block;
  block.path = path;
  return ChangedBlock(block, node, time);
}

std::string WineRegistryStore::Render(const Hive& hive, const RegTree& tree) const {
  const std::shared_ptr<RegNode> root = tree.Root(hive.root);
  if (hive.doc.keys.empty() && root->values.empty() && root->children.empty()) return hive.text;

  std::set<const RegNode*> documented;
  for (const auto& weak : hive.nodes)
    if (const auto n = weak.lock(); n && !n->deleted) documented.insert(n.get());

  // Keys that need a block of their own and have none: Wine saves a key that holds values
  // or has no subkeys; the others are implied by their subkeys.
  struct Fresh {
    std::vector<std::u16string> path;
    const RegNode* node;
  };
  std::vector<Fresh> fresh;
  std::vector<std::u16string> path;
  const auto walk = [&](const auto& self, const RegNode& node) -> void {
    if ((!node.values.empty() || node.children.empty()) && !documented.count(&node))
      fresh.push_back({path, &node});
    for (const auto& [folded, child] : node.children) {
      path.push_back(Widen(codePage_, child->name));
      self(self, *child);
      path.pop_back();
    }
  };
  walk(walk, *root);
  std::stable_sort(fresh.begin(), fresh.end(),
                   [](const Fresh& a, const Fresh& b) { return WinePathLess(a.path, b.path); });

  const std::uint64_t time = now_();
  std::string out = hive.doc.preamble;
  std::size_t next = 0;
  for (std::size_t i = 0; i < hive.doc.keys.size(); ++i) {
    const WineHiveKey& block = hive.doc.keys[i];
    while (next < fresh.size() && WinePathLess(fresh[next].path, block.path)) {
      out += NewBlock(*fresh[next].node, fresh[next].path, time);
      ++next;
    }
    const auto node = hive.nodes[i].lock();
    if (!node || node->deleted) continue;  // deleted since
    if (node->fixed || node->values == hive.loaded[i]) {
      out += block.text;
    } else if (!node->values.empty() || node->children.empty()) {
      out += ChangedBlock(block, *node, time);
    }
  }
  for (; next < fresh.size(); ++next) out += NewBlock(*fresh[next].node, fresh[next].path, time);
  return out;
}

bool WineRegistryStore::FileChanged(const Hive& hive) {
  return Exists(hive.file) ? ReadRegistryFile(hive.file) != hive.text : !hive.text.empty();
}

bool WineRegistryStore::ChangedSinceLoad() const {
  try {
    return std::any_of(hives_.begin(), hives_.end(),
                       [](const Hive& hive) { return FileChanged(hive); });
  } catch (const ERegistryFileError&) {
    return true;  // loading again reports it
  }
}

WinError WineRegistryStore::Save(const RegTree& tree) {
  for (const RegKey other : {kHKeyClassesRoot, kHKeyUsers, kHKeyCurrentConfig}) {
    const auto root = tree.Root(other);
    if (!root->children.empty() || !root->values.empty()) return RegCode::kAccessDenied;
  }
  std::vector<std::string> rendered;
  for (const Hive& hive : hives_) rendered.push_back(Render(hive, tree));
  bool changed = false;
  for (std::size_t h = 0; h < hives_.size(); ++h)
    changed = changed || rendered[h] != hives_[h].text;
  if (!changed) return RegCode::kSuccess;
  if (WineServerRunning(prefix_)) return RegCode::kAccessDenied;
  // A hive that changed since it was read (Wine wrote it back meanwhile) is not written
  // over: its new keys would be lost.
  for (std::size_t h = 0; h < hives_.size(); ++h) {
    if (rendered[h] == hives_[h].text) continue;
    try {
      if (FileChanged(hives_[h])) return RegCode::kAccessDenied;
    } catch (const ERegistryFileError&) {
      return RegCode::kRegistryIoFailed;
    }
  }

  for (std::size_t h = 0; h < hives_.size(); ++h) {
    Hive& hive = hives_[h];
    if (rendered[h] == hive.text) continue;
    WineHive doc;
    try {
      doc = ParseWineHive(rendered[h], hive.file.string());
    } catch (const ERegistryFileError&) {
      return RegCode::kRegistryIoFailed;  // never written: the text would not read back
    }
    // Wine itself writes through a link to the hive's real file; so does this.
    fs::path target = hive.file;
    std::error_code ec;
    if (fs::is_symlink(hive.file, ec)) {
      const fs::path real = fs::weakly_canonical(hive.file, ec);
      if (!ec) target = real;
    }
    if (const WinError status = RegWriteStatus(WriteFileAtomic(target, rendered[h]));
        status != RegCode::kSuccess)
      return status;
    hive.text = std::move(rendered[h]);
    hive.doc = std::move(doc);
    Link(hive, tree, false);
  }
  return RegCode::kSuccess;
}

}  // namespace nolvo::platform
