#include "platform/shell_folders.h"

#include <map>

#include "platform/win_path.h"

namespace nolvo::platform {

namespace {

constexpr const char* kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
constexpr const char* kProfiles = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

bool IsFullPath(const std::string& path) {
  return path.size() >= 3 && DriveLetterOf(path) != 0 && path[1] == ':' && path[2] == '\\';
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

// Environment values by upper-case name; later sources win, as the user's win over the
// system's.
std::map<std::string, std::string> Environment(const Registry& registry) {
  std::map<std::string, std::string> env;
  const auto set = [&](const std::string& name, const std::optional<std::string>& value) {
    if (value && !value->empty()) env[AsciiUpper(name)] = *value;
  };
  if (const auto root = registry.ReadString(
          kHKeyLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot")) {
    set("SystemRoot", root);
    set("windir", root);
    set("SystemDrive", root->substr(0, 2));
  }
  set("ProgramData", registry.ReadString(kHKeyLocalMachine, kProfiles, "ProgramData"));
  set("ALLUSERSPROFILE", registry.ReadString(kHKeyLocalMachine, kProfiles, "ProgramData"));
  set("PUBLIC", registry.ReadString(kHKeyLocalMachine, kProfiles, "Public"));
  // The user's profile: the one user profile of the list (S-1-5-21-...).
  for (const auto& sid : registry.SubKeyNames(kHKeyLocalMachine, kProfiles)) {
    if (AsciiUpper(sid).rfind("S-1-5-21-", 0) != 0) continue;
    set("USERPROFILE", registry.ReadString(kHKeyLocalMachine, std::string(kProfiles) + "\\" + sid,
                                           "ProfileImagePath"));
    break;
  }
  for (const auto& [root, key] :
       {std::pair{kHKeyLocalMachine,
                  "System\\CurrentControlSet\\Control\\Session Manager\\Environment"},
        std::pair{kHKeyCurrentUser, "Environment"}})
    for (const auto& value : registry.Values(root, key))
      if (value.type == RegType::kSz || value.type == RegType::kExpandSz)
        set(value.name, registry.ReadString(root, key, value.name));
  return env;
}

std::optional<std::string> Expand(const std::map<std::string, std::string>& env,
                                  const std::string& text, int depth) {
  if (depth > 8) return std::nullopt;
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto open = text.find('%', pos);
    if (open == std::string::npos) break;
    const auto close = text.find('%', open + 1);
    if (close == std::string::npos) break;
    out += text.substr(pos, open - pos);
    const auto it = env.find(AsciiUpper(text.substr(open + 1, close - open - 1)));
    if (it == env.end()) return std::nullopt;
    const auto inner = Expand(env, it->second, depth + 1);
    if (!inner) return std::nullopt;
    out += *inner;
    pos = close + 1;
  }
  return out + text.substr(pos);
}

}  // namespace

std::vector<std::string> ShellFolders::All() const {
  std::vector<std::string> all;
  for (const auto* f : {&desktop, &startMenu, &programs}) {
    bool seen = false;
    for (const auto& a : all) seen = seen || EqualsIgnoreCase(a, *f);
    if (!seen) all.push_back(*f);
  }
  return all;
}

ShellFolders DefaultShellFolders(const std::string& windows) {
  return {windows + "\\Desktop", windows + "\\Start Menu", windows + "\\Start Menu\\Programs",
          false};
}

std::optional<std::string> ExpandMachineVariables(const Registry& registry,
                                                  const std::string& text) {
  return Expand(Environment(registry), text, 0);
}

ShellFolders ReadShellFolders(const Machine& machine, const Registry& registry) {
  ShellFolders folders = DefaultShellFolders(machine.WindowsDirectory());
  const std::string shell = std::string(kExplorer) + "Shell Folders";
  const std::string user = std::string(kExplorer) + "User Shell Folders";
  const auto lookup = [&](const char* name) -> std::optional<std::string> {
    if (auto v = registry.ReadString(kHKeyCurrentUser, shell, name); v && IsFullPath(*v))
      return WithoutTrailingSlash(*v);
    if (auto v = registry.ReadString(kHKeyCurrentUser, user, name)) {
      if (auto expanded = ExpandMachineVariables(registry, *v); expanded && IsFullPath(*expanded))
        return WithoutTrailingSlash(*expanded);
    }
    return std::nullopt;
  };
  const auto desktop = lookup("Desktop");
  const auto startMenu = lookup("Start Menu");
  auto programs = lookup("Programs");
  if (!programs && startMenu) programs = *startMenu + "\\Programs";
  if (desktop) folders.desktop = *desktop;
  if (startMenu) folders.startMenu = *startMenu;
  if (programs) folders.programs = *programs;
  folders.fromMachine = desktop || startMenu || programs;
  return folders;
}

}  // namespace nolvo::platform
