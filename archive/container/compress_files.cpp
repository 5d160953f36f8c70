#include "archive/container/compress_files.h"

#include "platform/file_ops.h"
#include "util/file_errors.h"

namespace nolvo::container {

std::unique_ptr<platform::HostFileStream> OpenArchiveFile(const platform::Machine& machine,
                                                          const std::string& path) {
  platform::WinError error;
  auto stream = platform::OpenFileRead(machine, path, platform::ShareMode::shExclusive, error);
  if (!stream) throw util::EFOpenError("Cannot open file " + path);
  return stream;
}

std::string DirectoryPart(const std::string& path) {
  const auto last = path.find_last_of("\\:");
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

}  // namespace nolvo::container
