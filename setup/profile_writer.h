#pragma once
// Writing profile (INI) files of the modelled machine by Windows path, raising the
// system's "Unable to write to %s" when a write fails.

#include <stdexcept>
#include <string>

#include "platform/atomic_file.h"
#include "platform/machine.h"

namespace nolvo::setup {

// "Unable to write to %s" with the file's Windows path.
class EIniFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The Windows path of an INI file named `name`: a bare name lies in the Windows
// directory `windows`, anything else is taken as a path.
std::string IniFilePath(const std::string& name, const std::string& windows);

// Whether `r` is an existing plain file: a profile that can be read (a pipe would block).
bool IsPlainFile(const platform::ResolvedPath& r);

// Whether the profile at `r` can be written: it is missing, or a plain file without the
// read-only attribute (Windows refuses to open that for writing; a pipe would block).
bool ProfileWritable(const platform::ResolvedPath& r);

// WritePrivateProfileString on the file at Windows path `file`: `key` null erases the
// section. Raises EIniFileError when the file cannot be written. `beforeName` is called
// with the complete new file just before it replaces `file` (false: it does not).
void WriteProfileOrRaise(const platform::Machine& machine, const std::string& file,
                         const char* section, const char* key, const char* value,
                         const platform::BeforeRename& beforeName = {});

}  // namespace nolvo::setup
