#include "platform/win_path.h"

#include <vector>

#include "platform/win_error.h"

namespace nolvo::platform {

namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Splits the part after "X:" into components, dropping empty ones.
void SplitInto(std::string_view s, std::vector<std::string>& parts) {
  std::size_t start = 0;
  for (std::size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || IsSeparator(s[i])) {
      if (i > start) parts.emplace_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
}

}  // namespace

std::string DriveDirectories::Of(char letter) const {
  const auto it = dirs.find(AsciiUpper(letter));
  if (it != dirs.end()) return it->second;
  return std::string(1, AsciiUpper(letter)) + ":\\";
}

void DriveDirectories::Set(const std::string& fullDir) {
  const char letter = DriveLetterOf(fullDir);
  if (letter != 0) dirs[letter] = fullDir;
}

char DriveLetterOf(std::string_view fullPath) {
  if (fullPath.size() >= 2 && IsLetter(fullPath[0]) && fullPath[1] == ':')
    return AsciiUpper(fullPath[0]);
  return 0;
}

WinError FullPathName(std::string_view path, const DriveDirectories& dirs, std::string& out) {
  out.clear();
  if (path.empty()) return kErrorInvalidName;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return kErrorBadPathname;

  std::string base;           // a full directory path: "X:\" or "X:\a\b"
  std::string_view relative;  // what is added to it
  if (path.size() >= 2 && IsLetter(path[0]) && path[1] == ':') {
    relative = path.substr(2);
    if (!relative.empty() && IsSeparator(relative[0]))
      base = std::string(path.substr(0, 2)) + "\\";
    else
      base = dirs.Of(path[0]);
  } else if (IsSeparator(path[0])) {
    base = dirs.Of(dirs.current).substr(0, 2) + "\\";
    relative = path;
  } else {
    base = dirs.Of(dirs.current);
    relative = path;
  }

  std::vector<std::string> parts;
  SplitInto(std::string_view(base).substr(2), parts);
  std::vector<std::string> added;
  SplitInto(relative, added);
  for (std::size_t i = 0; i < added.size(); ++i) {
    std::string& part = added[i];
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(std::move(part));
  }
  const bool trailing = !relative.empty() && IsSeparator(relative.back()) && !parts.empty();
  // A last component of dots and spaces only vanishes, and the one before it becomes last.
  while (!trailing && !parts.empty() && !added.empty()) {
    std::string& last = parts.back();
    while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
    if (!last.empty()) break;
    parts.pop_back();
  }

  out = base.substr(0, 2) + "\\";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += '\\';
    out += parts[i];
  }
  if (trailing) out += '\\';
  if (out.size() > kMaxPath) {
    out.clear();
    return kErrorFilenameExcedRange;
  }
  return kErrorSuccess;
}

}  // namespace nolvo::platform
