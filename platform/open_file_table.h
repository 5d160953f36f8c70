#pragma once
// The files this process holds open, by device and inode, with their access and share
// modes, so that conflicting opens and deletes of open files fail with a sharing
// violation as on Windows. Best effort: only opens made through this layer count.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>

#include "platform/host_file_stream.h"

namespace nolvo::platform {

// Which other opens a holder allows (FILE_SHARE_* without FILE_SHARE_DELETE).
enum class ShareMode {
  shDenyNone,   // others may read and write
  shDenyWrite,  // others may read
  shExclusive,  // nobody else may open
};

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// Registers an open; returns an id, or 0 when it conflicts with a holder (sharing violation).
std::uint64_t RegisterOpen(FileIdentity id, bool write, ShareMode share);
void UnregisterOpen(std::uint64_t handle);
// Whether the file is held open through this layer.
bool IsOpen(FileIdentity id);
// The identity of an existing host entry (links followed); false when it is missing.
bool IdentityOf(const std::filesystem::path& host, FileIdentity& id);

// A HostFileStream that holds its entry in the table until it is closed or destroyed.
class SharedFileStream : public HostFileStream {
 public:
  SharedFileStream(const std::filesystem::path& path, int fd) : HostFileStream(path, fd) {}
  ~SharedFileStream() override { Release(); }
  void Adopt(std::uint64_t handle) { handle_ = handle; }
  void Close() override;

 private:
  void Release();
  std::uint64_t handle_ = 0;
};

}  // namespace nolvo::platform
