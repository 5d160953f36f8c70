#pragma once
// The registry of a Wine prefix kept in Wine's own hive files: HKEY_LOCAL_MACHINE in
// system.reg, HKEY_CURRENT_USER in user.reg (see wine_hive.h for the format).
//
// A save writes back only the hive that changed, atomically (a hive that is a symbolic
// link is replaced at the link's target), and in it only the changed keys are formatted
// anew: every other block keeps its exact bytes and its place. New keys go where Wine
// would put them; a key that lost its values while keeping subkeys is left to them, as
// Wine saves it; an emptied parent gets a block of its own so that it survives.
//
// Names and string data are UTF-16 in the files and ANSI in the tree, converted through
// the code page. A key whose name (or one of whose value names) the code page cannot
// spell, or that a file holds twice, is kept exactly as it is and refuses changes
// (RegNode::fixed); string data the code page cannot spell is kept as it was unless the
// value itself changes.
//
// HKEY_CLASSES_ROOT, HKEY_USERS and HKEY_CURRENT_CONFIG are not kept: a change below them
// is refused. While Wine's server runs for the prefix every save is refused (it would
// write its own copy over the files when it ends), and so is a save to a hive file that
// changed since it was read (Wine wrote its copy back meanwhile).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/registry_store.h"
#include "platform/wine_hive.h"

namespace nolvo::platform {

class WineRegistryStore final : public RegistryStore {
 public:
  // The hives of the prefix folder `prefix`. `now` gives the time (FILETIME, 100 ns since
  // 1601) a changed key carries; by default the clock's.
  WineRegistryStore(std::filesystem::path prefix, CodePage codePage,
                    std::function<std::uint64_t()> now = {});

  void Load(RegTree& tree) override;
  WinError Save(const RegTree& tree) override;
  bool ChangedSinceLoad() const override;

 private:
  struct Hive {
    std::filesystem::path file;
    RegKey root;
    std::string rootName;  // for a new file's header
    WineHive doc;
    std::vector<std::weak_ptr<RegNode>> nodes;            // per key block
    std::vector<std::map<std::string, RegValue>> loaded;  // per key block
    std::string text;                                     // what the file holds
  };

  // Whether `hive`'s file no longer holds what was read or written; throws
  // ERegistryFileError when it cannot be read.
  static bool FileChanged(const Hive& hive);
  void Link(Hive& hive, const RegTree& tree, bool build);
  std::string Render(const Hive& hive, const RegTree& tree) const;
  std::string ChangedBlock(const WineHiveKey& block, const RegNode& node, std::uint64_t time) const;
  std::string NewBlock(const RegNode& node, const std::vector<std::u16string>& path,
                       std::uint64_t time) const;

  std::filesystem::path prefix_;
  CodePage codePage_;
  std::function<std::uint64_t()> now_;
  std::vector<Hive> hives_;
};

}  // namespace nolvo::platform
