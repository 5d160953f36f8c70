#include "util/ensure_directory_path.h"

#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "platform/win_error.h"
#include "util/file_errors.h"

namespace nolvo::util {

void EnsureDirectoryPath(const platform::Machine& machine, std::string directory) {
  if (directory.empty()) throw EInOutError("Unable to create directory");
  // A relative path is taken from the current directory, so that its short first
  // names are not mistaken for drive roots below.
  const bool relative = !(directory.size() >= 2 && directory[1] == ':') && directory[0] != '\\' &&
                        directory[0] != '/';
  if (relative) {
    std::string full;
    if (machine.FullPath(directory, full) == platform::kErrorSuccess) directory = full;
  }
  if (directory.back() == '\\') directory.pop_back();
  if (directory.size() < 3) return;
  const std::uint32_t attributes = platform::GetFileAttributes(machine, directory);
  if (attributes != platform::kInvalidFileAttributes &&
      (attributes & platform::kFileAttributeDirectory))
    return;
  const std::size_t cut = directory.find_last_of("\\:/");
  const std::string parent =
      cut == std::string::npos ? std::string() : directory.substr(0, cut + 1);
  if (!parent.empty() && parent != directory) EnsureDirectoryPath(machine, parent);
  // Not checked: the caller meets a directory that could not be created when it uses it.
  static_cast<void>(platform::CreateDirectory(machine, directory));
}

}  // namespace nolvo::util
