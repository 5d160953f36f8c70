#include "setup/profile_writer.h"

#include "platform/file_attributes.h"
#include "platform/profile_file.h"

namespace nolvo::setup {

std::string IniFilePath(const std::string& name, const std::string& windows) {
  if (name.find_first_of("\\/:") == std::string::npos) return windows + "\\" + name;
  return name;
}

void WriteProfileOrRaise(const platform::Machine& machine, const std::string& file,
                         const char* section, const char* key, const char* value) {
  const platform::ResolvedPath r = machine.Resolve(file);
  // A read-only file is not written, as Windows refuses to open it for writing.
  if (!r.error.ok() || (r.exists && r.isDirectory) ||
      (r.exists && (platform::HostAttributes(r.host) & platform::kFileAttributeReadonly)) ||
      !platform::WriteProfileString(r.host, section, key, value))
    throw EIniFileError("Unable to write to " + file);
}

}  // namespace nolvo::setup
