#pragma once
// File attributes of the modelled machine. READONLY is the owner write bit cleared
// (files only); DIRECTORY comes from the entry's kind; HIDDEN and SYSTEM live in the
// extended attribute user.DOSATTRIB where the host file system has them (otherwise they
// read as absent and setting them is silently skipped); plain files always carry ARCHIVE.

#include <cstdint>
#include <string_view>

#include "platform/machine.h"

namespace nolvo::platform {

inline constexpr std::uint32_t kFileAttributeReadonly = 0x01;
inline constexpr std::uint32_t kFileAttributeHidden = 0x02;
inline constexpr std::uint32_t kFileAttributeSystem = 0x04;
inline constexpr std::uint32_t kFileAttributeVolume = 0x08;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeArchive = 0x20;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

// GetFileAttributes: the attributes of `path`, or exactly kInvalidFileAttributes when
// it cannot be read (missing path); `error` (optional) receives the Win32 code.
std::uint32_t GetFileAttributes(const Machine& machine, std::string_view path,
                                WinError* error = nullptr);
// SetFileAttributes: applies READONLY, HIDDEN and SYSTEM (other bits are ignored;
// NORMAL alone clears them). Returns a Win32 code (2 or 3 for a missing path).
WinError SetFileAttributes(const Machine& machine, std::string_view path, std::uint32_t attributes);

// Whether any entry (file or directory) is at `path`.
bool FileExists(const Machine& machine, std::string_view path);
// Whether a directory is at `path`.
bool DirectoryExists(const Machine& machine, std::string_view path);

// The size in bytes of the file at `path`; a Win32 code (2/3 missing, 5 a directory).
WinError GetFileSize(const Machine& machine, std::string_view path, std::uint64_t& size);

// The attributes of an existing host entry (links followed; a dangling link reads as a
// plain file).
std::uint32_t HostAttributes(const std::filesystem::path& host);

}  // namespace nolvo::platform
