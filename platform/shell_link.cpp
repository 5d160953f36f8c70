#include "platform/shell_link.h"

#include <sys/stat.h>

#include "platform/atomic_file.h"
#include "platform/file_attributes.h"
#include "platform/open_file_table.h"
#include "platform/win_error.h"

namespace nolvo::platform {
namespace {

// The text up to its first NUL, as a C string would end.
std::string_view AsCString(std::string_view text) { return text.substr(0, text.find('\0')); }

}  // namespace

ShellLink::ShellLink(CodePage codePage) : codePage_(std::move(codePage)) {}

ShellLink::ShellLink(const Machine& machine) : machine_(&machine), codePage_(machine.Codepage()) {}

WinError ShellLink::SetPath(std::string_view path) {
  path = AsCString(path);
  if (path.empty() || path.size() > kShellLinkMaxPath) return kErrorInvalidParameter;
  std::string full(path);
  if (machine_ != nullptr && machine_->FullPath(path, full) != kErrorSuccess)
    full = std::string(path);
  contents_.localBasePath = std::move(full);
  contents_.fileAttributes = 0;
  contents_.creationTime = contents_.accessTime = contents_.writeTime = 0;
  contents_.fileSize = 0;
  if (machine_ == nullptr) return kErrorSuccess;
  return LookUpTarget() ? kErrorSuccess : kErrorFileNotFound;
}

bool ShellLink::LookUpTarget() {
  const ResolvedPath r = machine_->Resolve(contents_.localBasePath);
  if (r.error != kErrorSuccess || !r.exists) return false;
  struct stat st {};
  if (::stat(r.host.c_str(), &st) != 0) return false;
  contents_.fileAttributes = HostAttributes(r.host);
  if (!S_ISDIR(st.st_mode)) contents_.fileSize = static_cast<std::uint32_t>(st.st_size);
  // Only the last write time is kept by the host for certain; creation and access
  // times stay "not set" rather than carrying a guess.
  contents_.writeTime = UnixTimeToFileTime(st.st_mtime);
  return true;
}

WinError ShellLink::SetWorkingDirectory(std::string_view directory) {
  directory = AsCString(directory);
  if (directory.size() > kShellLinkMaxPath) return kErrorInvalidParameter;
  contents_.workingDirectory = std::string(directory);
  return kErrorSuccess;
}

WinError ShellLink::SetIconLocation(std::string_view file, int index) {
  file = AsCString(file);
  if (file.size() > kShellLinkMaxPath) return kErrorInvalidParameter;
  contents_.iconLocation = std::string(file);
  contents_.iconIndex = index;
  return kErrorSuccess;
}

std::string ShellLink::Bytes() const { return SerializeLink(contents_, codePage_); }

std::error_code ShellLink::SaveToHost(const std::filesystem::path& hostPath) const {
  return WriteFileAtomic(hostPath, Bytes());
}

WinError ShellLink::Save(std::string_view windowsPath, const BeforeRename& beforeName) const {
  if (machine_ == nullptr) return kErrorInvalidParameter;
  const ResolvedPath r = machine_->Resolve(windowsPath);
  if (r.error != kErrorSuccess) return r.error;
  if (r.exists) {
    // CREATE_ALWAYS refuses what a plain file write must not replace.
    if (r.isDirectory || r.isRoot) return kErrorAccessDenied;
    constexpr std::uint32_t kBlocking =
        kFileAttributeReadonly | kFileAttributeHidden | kFileAttributeSystem;
    if (HostAttributes(r.host) & kBlocking) return kErrorAccessDenied;
    FileIdentity id;
    if (IdentityOf(r.host, id) && IsOpen(id)) return kErrorSharingViolation;
  }
  const std::error_code ec = WriteFileAtomic(r.host, Bytes(), beforeName);
  return ec ? ErrorFromErrno(ec.value()) : kErrorSuccess;
}

}  // namespace nolvo::platform
