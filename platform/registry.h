#pragma once
// The registry store of a prefix: a tree of keys below the predefined roots (the system
// uses HKEY_LOCAL_MACHINE), persisted by a RegistryStore: one REGEDIT4 text file (see
// registry_file.h) or, in a Wine prefix, Wine's own hive files (wine_registry_store.h).
//
// Entry points are shaped like Win32's (RegCreateKeyEx, RegOpenKeyEx, RegSetValueEx,
// RegQueryValueEx, RegEnumKeyEx, RegEnumValue, RegDeleteKey, RegDeleteTree,
// RegDeleteValue, RegCloseKey): they answer a RegCode status and never throw except for
// memory exhaustion. Names are case-insensitive and case-preserving; "\" separates key
// levels.
//
// Every change is written through: the store's files are rewritten atomically before the
// call returns. When they cannot be written the change is undone in memory and the call
// answers kAccessDenied (or kRegistryIoFailed for other I/O failures), so memory and file
// never disagree. A store made read-only refuses every change (and every CreateKeyEx)
// with kAccessDenied, as a user without rights below HKEY_LOCAL_MACHINE meets it. Keys
// the store keeps as they are (RegNode::fixed) refuse changes the same way.
//
// One store object per file at a time: the files are read once, when the store opens.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry_store.h"
#include "platform/registry_tree.h"
#include "platform/registry_types.h"

namespace nolvo::platform {

class Registry {
 public:
  // A store kept only in memory (changes are never saved).
  Registry();
  // Opens the store persisted at host path `file` (REGEDIT4 text), loading it when it
  // exists. A missing file is an empty store; the file is created by the first change.
  // Throws ERegistryFileError when the file cannot be read or is malformed.
  explicit Registry(std::filesystem::path file);
  // Opens the keys `store` keeps (loaded now; throws as the store's Load does).
  explicit Registry(std::unique_ptr<RegistryStore> store);
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  // Loads the store again when another program changed its files since they were read, so
  // that the next change keeps what it wrote; open handles are dropped. True when it
  // reloaded. Throws as the store's Load does.
  bool Refresh();

  // Makes every change answer kAccessDenied (true) or allowed again (false).
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  bool ReadOnly() const { return read_only_; }

  // --- Win32-shaped entry points --------------------------------------------------------

  // Opens `sub_key` below `parent`, creating it and every missing key on the way; an
  // empty `sub_key` opens `parent` again. `disposition` may be null.
  WinError CreateKeyEx(RegKey parent, std::string_view sub_key, RegKey* result,
                       RegDisposition* disposition);
  // Opens an existing key; kFileNotFound when some level is missing.
  WinError OpenKeyEx(RegKey parent, std::string_view sub_key, RegKey* result);
  // Releases a handle from CreateKeyEx/OpenKeyEx (closing a root is a no-op).
  WinError CloseKey(RegKey key);
  // Writes (creates or replaces) a value; "" is the key's default value. For kSz the data
  // should carry its terminating NUL (RegStringData makes such data).
  WinError SetValueEx(RegKey key, std::string_view value_name, std::uint32_t type,
                      std::span<const std::uint8_t> data);
  // Reads a value as Win32 does: `type` and `data` may be null; `size` (in: buffer size,
  // out: data size) may be null only when `data` is null. A buffer too small gives
  // kMoreData with the needed size in `size`.
  WinError QueryValueEx(RegKey key, std::string_view value_name, std::uint32_t* type,
                        std::uint8_t* data, std::uint32_t* size) const;
  // The `index`-th subkey name (sorted by folded name); kNoMoreItems past the end.
  WinError EnumKeyEx(RegKey key, std::uint32_t index, std::string* name) const;
  // The `index`-th value (sorted by folded name, default value first).
  WinError EnumValue(RegKey key, std::uint32_t index, RegValue* value) const;
  // Deletes `sub_key` of `parent` (an empty `sub_key`: `parent` itself); like Win32 it
  // refuses (kAccessDenied) a key that still has subkeys, and a root.
  WinError DeleteKey(RegKey parent, std::string_view sub_key);
  // Deletes `sub_key` of `parent` with all its subkeys and values; with an empty
  // `sub_key` it empties `parent` (its subkeys and values) but keeps it.
  WinError DeleteTree(RegKey parent, std::string_view sub_key);
  WinError DeleteValue(RegKey key, std::string_view value_name);

  // --- Convenience -----------------------------------------------------------------------

  // Creates `sub_key` below `root` as needed and writes a string value into it. Throws
  // ERegistryException "Failed to create key <sub_key>" or "Failed to set data for
  // '<value_name>'" with the status code on failure.
  void WriteString(RegKey root, std::string_view sub_key, std::string_view value_name,
                   std::string_view text);
  // A string value (kSz or kExpandSz, without its final NUL), or nullopt when the key or
  // value is missing or holds another type.
  std::optional<std::string> ReadString(RegKey root, std::string_view sub_key,
                                        std::string_view value_name) const;
  bool KeyExists(RegKey root, std::string_view sub_key) const;
  // Subkey names (their stored spelling) and values of an existing key; empty when missing.
  std::vector<std::string> SubKeyNames(RegKey root, std::string_view sub_key) const;
  std::vector<RegValue> Values(RegKey root, std::string_view sub_key) const;
  // Full path of an open key with its stored spelling ("HKEY_LOCAL_MACHINE\Software\...").
  std::optional<std::string> KeyPath(RegKey key) const;
  // The text the store file holds (or would hold for an in-memory store).
  std::string Dump() const;

 private:
  std::shared_ptr<RegNode> Resolve(RegKey key, WinError& status) const;
  std::shared_ptr<RegNode> Find(RegKey parent, std::string_view sub_key, WinError& status) const;
  RegKey NewHandle(std::shared_ptr<RegNode> node);
  WinError Save();
  WinError RemoveNode(const std::shared_ptr<RegNode>& node);

  RegTree tree_;
  std::unique_ptr<RegistryStore> store_;
  bool read_only_ = false;
  std::uint32_t next_handle_ = 1;
  std::unordered_map<std::uint32_t, std::shared_ptr<RegNode>> handles_;
};

}  // namespace nolvo::platform
