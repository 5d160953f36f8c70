#include "platform/file_attributes.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/win_error.h"

namespace nolvo::platform {

namespace {

constexpr const char* kDosAttrib = "user.DOSATTRIB";
constexpr std::uint32_t kXattrBits = kFileAttributeHidden | kFileAttributeSystem;

std::uint32_t ReadXattrBits(const std::filesystem::path& host) {
  char value[64] = {};
  const ssize_t n = ::getxattr(host.c_str(), kDosAttrib, value, sizeof(value) - 1);
  if (n <= 0) return 0;
  value[n] = '\0';
  const unsigned long bits = std::strtoul(value, nullptr, 16);  // "0x2" as Wine writes it
  return static_cast<std::uint32_t>(bits) & kXattrBits;
}

}  // namespace

std::uint32_t HostAttributes(const std::filesystem::path& host) {
  struct stat st {};
  if (::stat(host.c_str(), &st) != 0) return kFileAttributeArchive;
  std::uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) {
    attributes |= kFileAttributeDirectory;
  } else {
    attributes |= kFileAttributeArchive;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= kFileAttributeReadonly;
  }
  attributes |= ReadXattrBits(host);
  return attributes;
}

std::uint32_t GetFileAttributes(const Machine& machine, std::string_view path, WinError* error) {
  const ResolvedPath r = machine.Resolve(path);
  WinError code = r.error;
  if (code == kErrorSuccess && !r.exists) code = kErrorFileNotFound;
  if (error != nullptr) *error = code;
  if (code != kErrorSuccess) return kInvalidFileAttributes;
  return HostAttributes(r.host);
}

WinError SetFileAttributes(const Machine& machine, std::string_view path,
                           std::uint32_t attributes) {
  const ResolvedPath r = machine.Resolve(path);
  if (r.error != kErrorSuccess) return r.error;
  if (!r.exists) return kErrorFileNotFound;
  struct stat st {};
  if (::stat(r.host.c_str(), &st) != 0) return ErrorFromErrno(errno);
  if (!S_ISDIR(st.st_mode)) {
    mode_t mode = st.st_mode & 07777;
    if (attributes & kFileAttributeReadonly)
      mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
      mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) && ::chmod(r.host.c_str(), mode) != 0)
      return ErrorFromErrno(errno);
  }
  const std::uint32_t bits = attributes & kXattrBits;
  if (bits != 0) {
    char value[16];
    const int n = std::snprintf(value, sizeof(value), "0x%x", static_cast<unsigned>(bits));
    // Hosts without user xattrs keep no HIDDEN/SYSTEM bits; that is not an error.
    ::setxattr(r.host.c_str(), kDosAttrib, value, static_cast<std::size_t>(n), 0);
  } else {
    ::removexattr(r.host.c_str(), kDosAttrib);
  }
  return kErrorSuccess;
}

WinError GetFileSize(const Machine& machine, std::string_view path, std::uint64_t& size) {
  size = 0;
  const ResolvedPath r = machine.Resolve(path);
  if (r.error != kErrorSuccess) return r.error;
  if (!r.exists) return kErrorFileNotFound;
  if (r.isDirectory) return kErrorAccessDenied;
  struct stat st {};
  if (::stat(r.host.c_str(), &st) != 0) return ErrorFromErrno(errno);
  size = static_cast<std::uint64_t>(st.st_size);
  return kErrorSuccess;
}

bool FileExists(const Machine& machine, std::string_view path) {
  const ResolvedPath r = machine.Resolve(path);
  return r.error == kErrorSuccess && r.exists;
}

bool DirectoryExists(const Machine& machine, std::string_view path) {
  const ResolvedPath r = machine.Resolve(path);
  return r.error == kErrorSuccess && r.exists && r.isDirectory;
}

}  // namespace nolvo::platform
