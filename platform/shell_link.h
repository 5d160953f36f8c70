#pragma once
// The shell-link object: what IShellLinkA and IPersistFile give a setup program. Set the
// target, working directory and icon, then save the same link under as many names as
// needed. The file is written in the shell-link format (platform/shell_link_format.h):
// header, LinkInfo with the target as local base path, working directory and icon
// location as UTF-16 strings. Texts are ANSI bytes in the machine's code page.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/code_page.h"
#include "platform/machine.h"
#include "platform/shell_link_format.h"

namespace nolvo::platform {

// The longest text the ANSI interface takes (MAX_PATH less the terminator).
inline constexpr std::size_t kShellLinkMaxPath = 259;

class ShellLink {
 public:
  // A link object of its own: SetPath records the text only, saves go to host paths.
  explicit ShellLink(CodePage codePage = CodePage());
  // A link object on `machine`: SetPath looks the target up there (attributes, size,
  // last write time) and Save takes Windows paths. The machine must outlive
  // the object.
  explicit ShellLink(const Machine& machine);

  // IShellLinkA::SetPath. The text is cut at its first NUL, as the C string it stands
  // for. On a machine the path is made full (GetFullPathName) and the target's header
  // fields are taken from the file when it exists. Returns 0 when the target was found
  // (or there is no machine to look in), 2 when it was not (the path is kept all the
  // same), 87 for an empty or too long path (the earlier target stays).
  WinError SetPath(std::string_view path);
  // IShellLinkA::SetWorkingDirectory, kept as given; empty clears it. 87 when too long.
  WinError SetWorkingDirectory(std::string_view directory);
  // IShellLinkA::SetIconLocation, kept as given; an empty file clears it. 87 when too
  // long.
  WinError SetIconLocation(std::string_view file, int index);

  const std::string& Path() const { return contents_.localBasePath; }
  const std::string& WorkingDirectory() const { return contents_.workingDirectory; }
  const std::string& IconLocation() const { return contents_.iconLocation; }
  int IconIndex() const { return contents_.iconIndex; }
  // Every field the file will carry; tests and tools may adjust the header fields.
  LinkContents& Contents() { return contents_; }
  const LinkContents& Contents() const { return contents_; }

  // The bytes Save writes.
  std::string Bytes() const;

  // IPersistFile::Save to a host file, replacing it in one step (the old file or the new
  // one, never a part). Returns the host error, empty on success.
  std::error_code SaveToHost(const std::filesystem::path& hostPath) const;
  // IPersistFile::Save to a Windows path of the machine, as CreateFile with
  // CREATE_ALWAYS would: 0, or the Win32 code: 3 when the folder is missing, 5 when a
  // directory or a read-only, hidden or system file is in the way, 32 when the file is
  // held open, 123 for an invalid name; 87 for an object made without a machine.
  // `beforeName` is called as WriteFileAtomic calls it (false: the save fails, the file stays as it
  // was).
  WinError Save(std::string_view windowsPath, const BeforeRename& beforeName = {}) const;

 private:
  bool LookUpTarget();

  const Machine* machine_ = nullptr;
  CodePage codePage_;
  LinkContents contents_;
};

}  // namespace nolvo::platform
