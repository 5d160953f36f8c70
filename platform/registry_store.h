#pragma once
// Where a registry store keeps its keys. The store's tree is read once, when the store
// opens, and written back whole after every change.

#include <filesystem>
#include <system_error>

#include "platform/registry_tree.h"
#include "platform/win_error.h"

namespace nolvo::platform {

class RegistryStore {
 public:
  virtual ~RegistryStore() = default;
  // Fills `tree` (empty on entry) from the store's files. Throws ERegistryFileError when a
  // file cannot be read or is malformed.
  virtual void Load(RegTree& tree) = 0;
  // Writes `tree` back: RegCode::kSuccess, kAccessDenied when the files may not be
  // written (or the tree holds keys the store cannot keep), kRegistryIoFailed for other
  // failures. The files stay as they were on failure.
  virtual WinError Save(const RegTree& tree) = 0;
  // True when another program changed the store's files since they were loaded or last
  // saved (Wine's server writes its hives back when it ends).
  virtual bool ChangedSinceLoad() const { return false; }
};

// registry.reg: the whole tree as one REGEDIT4 text file (see registry_file.h). A missing
// file is an empty store; the first change creates it.
class RegTextStore final : public RegistryStore {
 public:
  explicit RegTextStore(std::filesystem::path file) : file_(std::move(file)) {}
  void Load(RegTree& tree) override;
  WinError Save(const RegTree& tree) override;

 private:
  std::filesystem::path file_;
};

// The status a failed file write answers: kAccessDenied for missing rights (EACCES,
// EPERM, EROFS, EISDIR), else kRegistryIoFailed; kSuccess for no error.
WinError RegWriteStatus(const std::error_code& ec);

// The whole content of host file `file`; throws ERegistryFileError naming it.
std::string ReadRegistryFile(const std::filesystem::path& file);

}  // namespace nolvo::platform
