#include "util/ensure_directory_path.h"

#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "util/file_errors.h"

namespace nolvo::util {

void EnsureDirectoryPath(const platform::Machine& machine, std::string directory) {
  if (directory.empty()) throw EInOutError("Unable to create directory");
  if (directory.back() == '\\') directory.pop_back();
  if (directory.size() < 3) return;
  const std::uint32_t attributes = platform::GetFileAttributes(machine, directory);
  if (attributes != platform::kInvalidFileAttributes && (attributes & platform::kFileAttributeDirectory))
    return;
  const std::size_t cut = directory.find_last_of("\\:/");
  const std::string parent = cut == std::string::npos ? std::string() : directory.substr(0, cut + 1);
  // A relative single name has no parent to ensure; it is created in the current directory.
  if (!parent.empty() && parent != directory) EnsureDirectoryPath(machine, parent);
  platform::CreateDirectory(machine, directory);
}

}  // namespace nolvo::util
