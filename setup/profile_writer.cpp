#include "setup/profile_writer.h"

#include <filesystem>

#include "platform/file_attributes.h"
#include "platform/profile_file.h"

namespace nolvo::setup {

std::string IniFilePath(const std::string& name, const std::string& windows) {
  if (name.find_first_of("\\/:") == std::string::npos) return windows + "\\" + name;
  return name;
}

bool IsPlainFile(const platform::ResolvedPath& r) {
  std::error_code ec;
  return r.error.ok() && r.exists && std::filesystem::is_regular_file(r.host, ec);
}

bool ProfileWritable(const platform::ResolvedPath& r) {
  if (!r.error.ok()) return false;
  if (!r.exists) return true;
  return IsPlainFile(r) &&
         (platform::HostAttributes(r.host) & platform::kFileAttributeReadonly) == 0;
}

void WriteProfileOrRaise(const platform::Machine& machine, const std::string& file,
                         const char* section, const char* key, const char* value,
                         const platform::BeforeRename& beforeName) {
  const platform::ResolvedPath r = machine.Resolve(file);
  if (!ProfileWritable(r) || !platform::WriteProfileString(r.host, section, key, value, beforeName))
    throw EIniFileError("Unable to write to " + file);
}

}  // namespace nolvo::setup
