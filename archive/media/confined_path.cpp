#include "archive/media/confined_path.h"

#include <array>
#include <cctype>

#include "platform/ascii.h"
#include "platform/win_path.h"

namespace nolvo::media {

namespace {

bool IsDeviceName(std::string_view part) {
  std::string base(part.substr(0, part.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  base = platform::AsciiUpper(base);
  static const std::array<const char*, 4> plain = {"CON", "PRN", "AUX", "NUL"};
  for (const char* d : plain)
    if (base == d) return true;
  return base.size() == 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// Adds one component to `out`, confining it; false when nothing is left of it.
bool AddPart(std::string_view part, const platform::CodePage& cp, ConfinedPath& out) {
  if (part.empty() || part == ".") return false;
  if (part == "..") {
    out.Notes.push_back("\"..\" removed");
    return false;
  }
  std::string safe(part);
  bool replaced = false;
  for (auto& c : safe) {
    if (platform::InvalidNameChar(c)) {
      c = '_';
      replaced = true;
    }
  }
  if (replaced) out.Notes.push_back("characters a file name cannot hold replaced by \"_\"");
  if (IsDeviceName(safe)) {
    safe.insert(safe.begin(), '_');
    out.Notes.push_back("device name \"" + std::string(part) + "\" renamed");
  }
  out.Parts.push_back(cp.ToUtf8(safe));
  return true;
}

}  // namespace

ConfinedPath ConfinePath(std::string_view path, bool silentRoot, const platform::CodePage& cp) {
  ConfinedPath out;
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    path.remove_prefix(2);
    if (!silentRoot) out.Notes.push_back("drive removed");
  }
  if (!path.empty() && (path[0] == '\\' || path[0] == '/') && !silentRoot)
    out.Notes.push_back("leading backslash removed");
  while (!path.empty()) {
    const auto cut = path.find_first_of("\\/");
    AddPart(path.substr(0, cut), cp, out);
    if (cut == std::string_view::npos) break;
    path.remove_prefix(cut + 1);
  }
  return out;
}

ConfinedPath ConfineFileName(std::string_view name, const platform::CodePage& cp) {
  const auto cut = name.find_last_of("\\/:");
  if (cut != std::string_view::npos) name.remove_prefix(cut + 1);
  ConfinedPath out;
  AddPart(name, cp, out);
  return out;
}

}  // namespace nolvo::media
