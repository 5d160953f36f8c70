#include "platform/registry_store.h"

#include <cerrno>

#include "platform/atomic_file.h"
#include "platform/host_file_stream.h"
#include "platform/registry_file.h"
#include "platform/registry_types.h"

namespace nolvo::platform {

std::string ReadRegistryFile(const std::filesystem::path& file) {
  try {
    HostFileStream in(file, HostFileStream::Mode::mdRead);
    std::string text;
    char buf[65536];
    while (const std::size_t n = in.Read(buf, sizeof buf)) text.append(buf, n);
    return text;
  } catch (const EStreamError& e) {
    throw ERegistryFileError(std::string("Cannot read registry file: ") + e.what());
  }
}

WinError RegWriteStatus(const std::error_code& ec) {
  if (!ec) return RegCode::kSuccess;
  switch (ec.value()) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return RegCode::kAccessDenied;
    default:
      return RegCode::kRegistryIoFailed;
  }
}

void RegTextStore::Load(RegTree& tree) {
  std::error_code ec;
  if (std::filesystem::symlink_status(file_, ec).type() == std::filesystem::file_type::not_found)
    return;
  ApplyRegText(tree, ReadRegistryFile(file_), file_.string());
}

WinError RegTextStore::Save(const RegTree& tree) {
  return RegWriteStatus(WriteFileAtomic(file_, DumpRegText(tree)));
}

}  // namespace nolvo::platform
