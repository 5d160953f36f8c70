#include "platform/open_file_table.h"

#include <sys/stat.h>

#include <map>
#include <mutex>

namespace nolvo::platform {

namespace {

struct Holder {
  FileIdentity id;
  bool write = false;
  ShareMode share = ShareMode::shExclusive;
};

struct Table {
  std::mutex mutex;
  std::map<std::uint64_t, Holder> holders;
  std::uint64_t next = 1;
};

Table& TheTable() {
  static Table table;
  return table;
}

bool Allows(ShareMode share, bool write) {
  switch (share) {
    case ShareMode::shDenyNone:
      return true;
    case ShareMode::shDenyWrite:
      return !write;
    case ShareMode::shExclusive:
      return false;
  }
  return false;
}

}  // namespace

std::uint64_t RegisterOpen(FileIdentity id, bool write, ShareMode share) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  for (const auto& [handle, h] : t.holders) {
    if (!(h.id == id)) continue;
    // Every holder reads; the new open must be allowed by the holder and vice versa.
    if (!Allows(h.share, write) || !Allows(share, h.write)) return 0;
  }
  const std::uint64_t handle = t.next++;
  t.holders.emplace(handle, Holder{id, write, share});
  return handle;
}

void UnregisterOpen(std::uint64_t handle) {
  if (handle == 0) return;
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  t.holders.erase(handle);
}

bool IsOpen(FileIdentity id) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  for (const auto& entry : t.holders)
    if (entry.second.id == id) return true;
  return false;
}

bool IdentityOf(const std::filesystem::path& host, FileIdentity& id) {
  struct stat st {};
  if (::stat(host.c_str(), &st) != 0) return false;
  id = FileIdentity{st.st_dev, st.st_ino};
  return true;
}

void SharedFileStream::Release() {
  UnregisterOpen(handle_);
  handle_ = 0;
}

void SharedFileStream::Close() {
  try {
    HostFileStream::Close();
  } catch (...) {
    Release();
    throw;
  }
  Release();
}

}  // namespace nolvo::platform
