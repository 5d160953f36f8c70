#include "platform/find_file.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "platform/ascii.h"
#include "platform/file_attributes.h"
#include "platform/win_error.h"

namespace nolvo::platform {

namespace {

bool Glob(std::string_view p, std::string_view n) {
  std::size_t pi = 0;
  std::size_t ni = 0;
  std::size_t starP = std::string_view::npos;
  std::size_t starN = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || AsciiUpper(p[pi]) == AsciiUpper(n[ni]))) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      starP = pi++;
      starN = ni;
    } else if (starP != std::string_view::npos) {
      pi = starP + 1;
      ni = ++starN;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

FindData DotEntry(const char* name, const std::filesystem::path& host) {
  FindData d;
  d.name = name;
  d.attributes = HostAttributes(host);
  struct stat st {};
  if (::stat(host.c_str(), &st) == 0) d.lastWrite = st.st_mtime;
  return d;
}

}  // namespace

bool MatchesPattern(std::string_view pattern, std::string_view name) {
  if (Glob(pattern, name)) return true;
  const bool dotless = name.find('.') == std::string_view::npos;
  // "name.*" also matches "name", and "name." matches a name without extension.
  if (dotless && pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
    return Glob(pattern.substr(0, pattern.size() - 2), name);
  if (dotless && !pattern.empty() && pattern.back() == '.')
    return Glob(pattern.substr(0, pattern.size() - 1), name);
  return false;
}

FileFinder::FileFinder(const Machine& machine, std::string_view pattern) {
  std::string folder;
  std::string_view mask;
  const std::size_t cut = pattern.find_last_of("\\/");
  if (cut != std::string_view::npos) {
    folder = std::string(pattern.substr(0, cut + 1));
    mask = pattern.substr(cut + 1);
  } else if (pattern.size() >= 2 && pattern[1] == ':') {
    folder = std::string(pattern.substr(0, 2));
    mask = pattern.substr(2);
  } else {
    folder = ".";
    mask = pattern;
  }
  if (mask.empty()) {
    error_ = kErrorFileNotFound;
    return;
  }
  if (folder.size() > 1 && IsSeparator(folder.back()) && folder[folder.size() - 2] != ':' &&
      !IsSeparator(folder[folder.size() - 2]))
    folder.pop_back();  // "C:\x\" -> "C:\x"; roots stay
  const ResolvedPath dir = machine.Resolve(folder);
  if (dir.error != kErrorSuccess) {
    error_ = dir.error;
    return;
  }
  if (!dir.exists || !dir.isDirectory) {
    error_ = kErrorPathNotFound;
    return;
  }
  if (!dir.isRoot) {
    if (MatchesPattern(mask, ".")) entries_.push_back(DotEntry(".", dir.host));
    if (MatchesPattern(mask, "..")) entries_.push_back(DotEntry("..", dir.host.parent_path()));
  }
  const std::size_t named = entries_.size();
  std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.host.c_str()), ::closedir);
  if (!d) {
    error_ = kErrorPathNotFound;
    return;
  }
  while (const dirent* e = ::readdir(d.get())) {
    const std::string_view hostName(e->d_name);
    if (hostName == "." || hostName == "..") continue;
    FindData data;
    data.name = machine.WindowsName(hostName);
    if (!MatchesPattern(mask, data.name)) continue;
    const std::filesystem::path host = dir.host / std::string(hostName);
    data.attributes = HostAttributes(host);
    struct stat st {};
    if (::stat(host.c_str(), &st) == 0) {
      data.lastWrite = st.st_mtime;
      if (!S_ISDIR(st.st_mode)) data.size = static_cast<std::uint64_t>(st.st_size);
    }
    entries_.push_back(std::move(data));
  }
  std::sort(entries_.begin() + static_cast<std::ptrdiff_t>(named), entries_.end(),
            [](const FindData& a, const FindData& b) {
              const int c = CompareIgnoreCase(a.name, b.name);
              return c != 0 ? c < 0 : a.name < b.name;
            });
  error_ = entries_.empty() ? kErrorFileNotFound : kErrorSuccess;
}

bool FileFinder::Next(FindData& out) {
  if (next_ >= entries_.size()) return false;
  out = entries_[next_++];
  return true;
}

}  // namespace nolvo::platform
