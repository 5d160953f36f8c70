#pragma once
// Profile (INI) file access with the semantics of the platform's profile-string
// functions: the buffer rules of the reader (values cut to nSize - 1, name lists ending
// in two NULs) and the in-place editing of the writer. Files are host paths here; the
// caller resolves a Windows path (and a bare name into the Windows directory) first.

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/profile_text.h"

namespace nolvo::platform {

// The value buffer the system's string reader uses (1023 characters and a NUL).
inline constexpr std::size_t kProfileValueBuffer = 1024;
// The key-name list buffer of list sections.
inline constexpr std::size_t kProfileNameListBuffer = 8192;

// Reads a profile file; a missing or unreadable file is an empty profile.
ProfileText LoadProfile(const std::filesystem::path& file);

// Fills `buffer` as GetPrivateProfileStringA does and returns its result:
// - section and key given: the value, else `def` (trailing spaces of `def` removed), cut
//   to buffer.size() - 1 characters and NUL-terminated; returns the characters copied;
// - key null: the section's key names, each followed by a NUL, the list by one more; a
//   list that does not fit is cut so that the buffer ends in two NULs and the result is
//   buffer.size() - 2 (also for an exact fit); a missing section copies `def`;
// - section null: every section name, as a list.
std::size_t GetProfileString(const ProfileText& profile, const char* section, const char* key,
                             std::string_view def, std::span<char> buffer);

// WritePrivateProfileStringA: key null erases the section, value null deletes the key,
// otherwise sets key=value. A missing file is created for a set (never its directory);
// erasing or deleting in a missing file creates nothing. The file is replaced atomically.
// `beforeRename` is called as WriteFileAtomic calls it. Returns false when the file cannot
// be written or section is null.
bool WriteProfileString(const std::filesystem::path& file, const char* section, const char* key,
                        const char* value, const BeforeRename& beforeRename = {});

// A profile file read through the buffers the system uses: values at most 1023
// characters, key lists within 8192 bytes. The text is read once, when constructed.
class ProfileReader {
 public:
  explicit ProfileReader(const std::filesystem::path& file) : profile_(LoadProfile(file)) {}
  explicit ProfileReader(ProfileText profile) : profile_(std::move(profile)) {}

  // The value, or `def` when the key is missing; empty when present and empty.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  // Whether the value of a present key was longer than the 1023 characters kept.
  bool ValueWasCut(std::string_view section, std::string_view key) const;
  // The key names as the list buffer yields them, walked up to the first empty name.
  std::vector<std::string> ReadKeyNames(std::string_view section) const;
  // Key names that did not fit into the list buffer.
  std::size_t KeyNamesLost(std::string_view section) const;
  const ProfileText& Text() const { return profile_; }

 private:
  ProfileText profile_;
};

}  // namespace nolvo::platform
