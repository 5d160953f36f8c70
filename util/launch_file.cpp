#include "util/launch_file.h"

#include "platform/launch.h"

namespace nolvo::util {

namespace {

bool IsRelative(const std::string& path) {
  const bool drive = path.size() >= 2 && path[1] == ':';
  const std::size_t rest = drive ? 2 : 0;
  return path.size() <= rest || (path[rest] != '\\' && path[rest] != '/');
}

}  // namespace

int LaunchFile(const platform::Machine& machine, const std::string& fileName,
               const std::string& parameters, const std::string& defaultDir, int showCmd) {
  platform::ResolvedPath file = machine.Resolve(fileName);
  if ((!file.error.ok() || !file.exists) && IsRelative(fileName) && !defaultDir.empty()) {
    const std::string inDir =
        defaultDir + (defaultDir.back() == '\\' || defaultDir.back() == '/' ? "" : "\\") + fileName;
    if (platform::ResolvedPath other = machine.Resolve(inDir); other.error.ok() && other.exists)
      file = std::move(other);
  }
  if (file.error == platform::kErrorPathNotFound) return platform::LaunchCode::kPathNotFound;
  if (!file.error.ok() || !file.exists) return platform::LaunchCode::kFileNotFound;

  platform::LaunchRequest request;
  request.file = file.host;
  request.parameters = parameters;
  request.show_command = showCmd;
  request.prefix = machine.Prefix();
  request.display_file = fileName;
  request.display_dir = defaultDir;
  if (defaultDir.empty()) {
    request.working_dir = machine.CurrentHostDirectory();
  } else {
    const platform::ResolvedPath dir = machine.Resolve(defaultDir);
    if (!dir.error.ok() || !dir.exists || !dir.isDirectory)
      return platform::LaunchCode::kPathNotFound;
    request.working_dir = dir.host;
  }
  return platform::LaunchHostFile(request);
}

}  // namespace nolvo::util
