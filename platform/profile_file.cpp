#include "platform/profile_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/atomic_file.h"

namespace nolvo::platform {

ProfileText LoadProfile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return ProfileText::Parse(bytes);
}

namespace {

std::size_t CopyString(std::string_view text, std::span<char> buffer) {
  if (buffer.empty()) return 0;
  const std::size_t n = std::min(text.size(), buffer.size() - 1);
  std::memcpy(buffer.data(), text.data(), n);
  buffer[n] = '\0';
  return n;
}

std::size_t CopyList(const std::vector<std::string>& names, std::span<char> buffer) {
  if (buffer.size() < 2) {
    if (!buffer.empty()) buffer[0] = '\0';
    return 0;
  }
  std::size_t needed = 1;
  for (const auto& n : names) needed += n.size() + 1;
  std::size_t pos = 0;
  for (const auto& n : names) {
    for (char c : n) {
      if (pos >= buffer.size() - 2) break;
      buffer[pos++] = c;
    }
    if (pos >= buffer.size() - 2) break;
    buffer[pos++] = '\0';
  }
  if (needed >= buffer.size()) {
    // Does not fit (or fits exactly): the list ends in two NULs at the buffer's end.
    buffer[buffer.size() - 2] = '\0';
    buffer[buffer.size() - 1] = '\0';
    return buffer.size() - 2;
  }
  buffer[pos] = '\0';
  return pos;
}

std::string_view WithoutTrailingSpaces(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

std::size_t GetProfileString(const ProfileText& profile, const char* section, const char* key,
                             std::string_view def, std::span<char> buffer) {
  def = WithoutTrailingSpaces(def);
  if (section == nullptr) return CopyList(profile.SectionNames(), buffer);
  if (key == nullptr) {
    if (!profile.HasSection(section)) return CopyString(def, buffer);
    return CopyList(profile.KeyNames(section), buffer);
  }
  if (auto value = profile.Find(section, key)) return CopyString(*value, buffer);
  return CopyString(def, buffer);
}

bool WriteProfileString(const std::filesystem::path& file, const char* section, const char* key,
                        const char* value, const BeforeRename& beforeRename) {
  if (section == nullptr) return false;
  std::error_code ec;
  const bool exists = std::filesystem::exists(file, ec);
  if (!exists && (key == nullptr || value == nullptr)) return true;  // nothing to remove
  ProfileText profile = LoadProfile(file);
  if (key == nullptr)
    profile.EraseSection(section);
  else if (value == nullptr)
    profile.DeleteKey(section, key);
  else
    profile.Set(section, key, value);
  return !WriteFileAtomic(file, profile.Serialize(), beforeRename);
}

std::string ProfileReader::ReadString(std::string_view section, std::string_view key,
                                      std::string_view def) const {
  std::vector<char> buffer(kProfileValueBuffer);
  const std::string s(section), k(key);
  const std::size_t n = GetProfileString(profile_, s.c_str(), k.c_str(), def, buffer);
  // The value is a C string: a NUL byte in the file ends it, as it does for the profile API.
  return std::string(buffer.data(), std::find(buffer.data(), buffer.data() + n, '\0'));
}

bool ProfileReader::ValueWasCut(std::string_view section, std::string_view key) const {
  const auto value = profile_.Find(section, key);
  return value && value->size() > kProfileValueBuffer - 1;
}

std::vector<std::string> ProfileReader::ReadKeyNames(std::string_view section) const {
  std::vector<char> buffer(kProfileNameListBuffer);
  const std::string s(section);
  GetProfileString(profile_, s.c_str(), nullptr, "", buffer);
  std::vector<std::string> names;
  // Walk the NUL-separated names; an empty name ends the list.
  std::size_t pos = 0;
  while (pos < buffer.size() && buffer[pos] != '\0') {
    const std::size_t len = std::strlen(buffer.data() + pos);
    names.emplace_back(buffer.data() + pos, len);
    pos += len + 1;
  }
  return names;
}

std::size_t ProfileReader::KeyNamesLost(std::string_view section) const {
  const auto all = profile_.KeyNames(section);
  const auto seen = ReadKeyNames(section);
  std::size_t whole = 0;
  for (std::size_t i = 0; i < seen.size() && i < all.size(); ++i)
    if (seen[i] == all[i]) ++whole;
  return all.size() - whole;
}

}  // namespace nolvo::platform
