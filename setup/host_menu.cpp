// Making the host menu entries of an installation and recording them.

#include "setup/host_menu.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/ascii.h"
#include "platform/atomic_file.h"
#include "platform/host_process.h"
#include "platform/profile_file.h"
#include "platform/shell_link_format.h"
#include "platform/win_path.h"
#include "platform/wine_server.h"
#include "setup/desktop_file.h"
#include "setup/directory_tokens.h"
#include "setup/profile_writer.h"
#include "setup/write_guard.h"

namespace nolvo::setup {

namespace fs = std::filesystem;

namespace {

fs::path HomeFolder() {
  if (const char* h = std::getenv("HOME"); h && *h) return h;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

fs::path XdgFolder(const char* variable, const char* fallback) {
  if (const char* v = std::getenv(variable); v && *v == '/') return v;
  return HomeFolder() / fallback;
}

// One link that gets an entry.
struct MenuLink {
  std::string windows;  // the link's Windows path
  fs::path host;        // its host file
  bool inStartMenu = false;
  std::vector<std::string> folders;  // UTF-8 folder names below the Start Menu
  std::string name;                  // UTF-8 link name without ".lnk"
  std::vector<fs::path> candidates;  // where Wine's tool puts its files for it
};

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') {
      if (i > start) parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

std::optional<MenuLink> Classify(const platform::Machine& machine,
                                 const platform::ShellFolders& shell, const std::string& link,
                                 const HostMenuFolders& host) {
  const platform::ResolvedPath r = machine.Resolve(link);
  std::string file = FileNamePart(r.full);
  if (!r.error.ok() || !r.exists || file.size() <= 4 ||
      platform::AsciiUpper(file.substr(file.size() - 4)) != ".LNK")
    return std::nullopt;
  const platform::CodePage& cp = machine.Codepage();
  MenuLink m;
  m.windows = r.full;
  m.host = r.host;
  m.name = cp.ToUtf8(file.substr(0, file.size() - 4));
  if (PathWithin(machine, r.full, shell.startMenu)) {
    m.inStartMenu = true;
    const auto below = Components(r.full.substr(shell.startMenu.size()));
    for (std::size_t i = 0; i + 1 < below.size(); ++i) m.folders.push_back(cp.ToUtf8(below[i]));
    fs::path desktop = host.applications / "wine";
    std::string menu = "wine";
    for (const auto& f : m.folders) {
      desktop /= f;
      menu += "-" + f;
    }
    m.candidates = {desktop / (m.name + ".desktop"), host.menus / (menu + "-" + m.name + ".menu")};
    return m;
  }
  if (PathWithin(machine, r.full, shell.desktop)) {
    // Wine's tool puts the entry on the desktop itself, also for a link in a folder there.
    const platform::ResolvedPath d = machine.Resolve(shell.desktop);
    if (d.exists) m.candidates.push_back(d.host / (m.name + ".desktop"));
    if (const fs::path beside = m.host.parent_path() / (m.name + ".desktop");
        m.candidates.empty() || beside != m.candidates.front())
      m.candidates.push_back(beside);
    return m;
  }
  return std::nullopt;
}

std::set<fs::path> Listing(const std::vector<fs::path>& roots) {
  std::set<fs::path> all;
  for (const auto& root : roots) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
      all.insert(it->path());
  }
  return all;
}

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::symlink_status(p, ec).type() != fs::file_type::not_found && !ec;
}

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The .directory files a .menu file of Wine's names.
std::vector<std::string> MenuDirectories(const std::string& menu) {
  std::vector<std::string> names;
  for (std::size_t at = menu.find("<Directory>"); at != std::string::npos;
       at = menu.find("<Directory>", at + 1)) {
    const auto end = menu.find("</Directory>", at);
    if (end == std::string::npos) break;
    names.push_back(menu.substr(at + 11, end - at - 11));
  }
  return names;
}

// Writes an entry of our own for `link`: it starts the link through Wine in the prefix.
std::optional<fs::path> WriteOwnEntry(const platform::Machine& machine, const MenuLink& link,
                                      const fs::path& file) {
  DesktopFile entry;
  entry.name = link.name;
  entry.exec = {"env", "WINEPREFIX=" + machine.Prefix().string(), "wine",
                machine.Codepage().ToUtf8(link.windows)};
  try {
    const std::string bytes = ReadText(link.host);
    const platform::ParsedLink parsed = platform::ParseLink(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
        machine.Codepage());
    if (parsed.iconLocation) {
      const platform::ResolvedPath icon =
          machine.Resolve(machine.Codepage().FromUtf8(*parsed.iconLocation));
      const std::string ext = platform::AsciiLower(icon.host.extension().string());
      if (icon.exists && !icon.isDirectory &&
          (ext == ".ico" || ext == ".png" || ext == ".svg" || ext == ".xpm"))
        entry.icon = icon.host.string();
    }
  } catch (const platform::ELinkFormatError&) {
    // A link we cannot read still gets its entry, without an icon.
  }
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  if (ec || platform::WriteFileAtomic(file, FormatDesktopFile(entry))) return std::nullopt;
  return file;
}

bool WineMenuBuilderAvailable(const platform::Machine& machine) {
  const auto wine = platform::FindOnPath("wine");
  if (!wine) return false;
  const platform::ResolvedPath tool = machine.Resolve("C:\\windows\\system32\\winemenubuilder.exe");
  return tool.error.ok() && tool.exists;
}

}  // namespace

HostMenuFolders HostMenuFolders::FromEnvironment() {
  const fs::path data = XdgFolder("XDG_DATA_HOME", ".local/share");
  const fs::path config = XdgFolder("XDG_CONFIG_HOME", ".config");
  return {data / "applications", config / "menus" / "applications-merged",
          data / "desktop-directories", data / "icons"};
}

std::vector<std::string> SavedLinks(const EngineResult& result) {
  std::vector<std::string> links;
  for (const auto& a : result.actions)
    if (a.kind == ActionKind::akShortcut && a.outcome == ActionOutcome::aoDone &&
        std::find(links.begin(), links.end(), a.target) == links.end())
      links.push_back(a.target);
  return links;
}

namespace {

// A path that exists now and did not before the entries were made.
struct NewPaths {
  std::set<fs::path> before;   // the menu folders' listing
  std::set<fs::path> existed;  // other paths on the way to the candidates
  bool operator()(const fs::path& p) const {
    return Exists(p) && !before.count(p) && !existed.count(p);
  }
};

// Wine's own tool makes the entries when the prefix has it.
void RunWineMenuBuilder(const platform::Machine& machine, const std::vector<MenuLink>& menuLinks,
                        HostMenuResult& result) {
  result.winemenubuilder = true;
  std::vector<std::string> env{"WINEPREFIX=" + machine.Prefix().string()};
  if (!std::getenv("WINEDEBUG")) env.push_back("WINEDEBUG=-all");
  const std::string wine = platform::FindOnPath("wine")->string();
  for (const auto& m : menuLinks) {
    const auto status = platform::RunAndWait({wine, "winemenubuilder", m.windows}, env);
    if (status != 0)
      result.problems.push_back("Wine's winemenubuilder failed for " +
                                machine.Codepage().ToUtf8(m.windows));
  }
  // Wine's server writes the prefix's registry back when it ends, a few seconds on.
  platform::WaitForWineServerExit(machine.Prefix(), platform::kWineServerGrace);
}

// The icons and folder descriptions Wine's tool made for the entries `files`; notes each
// entry in `result`.
std::vector<fs::path> MadeAlongside(const std::vector<fs::path>& files,
                                    const std::set<fs::path>& after, const HostMenuFolders& host,
                                    const NewPaths& isNew, HostMenuResult& result) {
  std::vector<fs::path> extra;
  for (const auto& f : files) {
    const std::string text = ReadText(f);
    if (f.extension() == ".desktop") {
      result.entries.push_back(f.string());
      const auto icon = DesktopEntryValue(text, "Icon");
      if (icon && !icon->empty() && icon->front() != '/')
        for (const auto& p : after)
          if (p.stem() == *icon && p.string().rfind(host.icons.string(), 0) == 0 && isNew(p))
            extra.push_back(p);
    } else if (f.extension() == ".menu") {
      for (const auto& name : MenuDirectories(text))
        if (const fs::path d = host.directories / name; isNew(d)) extra.push_back(d);
    }
  }
  return extra;
}

// The folders made for `files`, outermost first, up to the menu folders themselves.
std::vector<fs::path> FoldersMade(const std::vector<fs::path>& files, const HostMenuFolders& host,
                                  const NewPaths& isNew) {
  std::set<fs::path> folders;
  const std::vector<fs::path> menuRoots{host.applications, host.menus, host.directories,
                                        host.icons};
  for (const auto& f : files) {
    for (auto dir = f.parent_path(); isNew(dir) && dir != dir.root_path();
         dir = dir.parent_path()) {
      folders.insert(dir);
      if (std::find(menuRoots.begin(), menuRoots.end(), dir) != menuRoots.end()) break;
    }
  }
  std::vector<fs::path> made(folders.begin(), folders.end());
  std::sort(made.begin(), made.end(), [](const fs::path& a, const fs::path& b) {
    return a.native().size() < b.native().size();
  });
  return made;
}

}  // namespace

HostMenuResult MakeHostMenu(const platform::Machine& machine, const platform::ShellFolders& shell,
                            const std::vector<std::string>& links, const HostMenuFolders& host) {
  HostMenuResult result;
  std::vector<MenuLink> menuLinks;
  for (const auto& link : links)
    if (auto m = Classify(machine, shell, link, host)) menuLinks.push_back(std::move(*m));
  if (menuLinks.empty()) return result;

  const std::vector<fs::path> roots{host.applications / "wine", host.menus, host.directories,
                                    host.icons};
  NewPaths isNew{Listing(roots), {}};
  // What was there already outside those listings: the candidates and every folder on
  // the way to them.
  const auto note = [&](fs::path p) {
    for (; !p.empty() && p != p.root_path(); p = p.parent_path())
      if (Exists(p)) isNew.existed.insert(p);
  };
  for (const auto& m : menuLinks)
    for (const auto& c : m.candidates) note(c);
  for (const auto& root : roots) note(root);

  if (WineMenuBuilderAvailable(machine)) RunWineMenuBuilder(machine, menuLinks, result);

  std::vector<fs::path> files;
  const std::set<fs::path> after = Listing(roots);
  for (const auto& m : menuLinks) {
    bool entry = false;
    for (const auto& c : m.candidates) {
      if (c.extension() == ".desktop" && Exists(c)) entry = true;
      if (isNew(c)) files.push_back(c);
    }
    if (!entry) {
      if (auto own = WriteOwnEntry(machine, m, m.candidates.front()))
        files.push_back(*own);
      else
        result.problems.push_back("No menu entry for " + machine.Codepage().ToUtf8(m.windows));
    }
  }
  for (auto& e : MadeAlongside(files, after, host, isNew, result))
    if (std::find(files.begin(), files.end(), e) == files.end()) files.push_back(std::move(e));

  result.made = FoldersMade(files, host, isNew);
  result.made.insert(result.made.end(), files.begin(), files.end());
  return result;
}

void RecordHostMenu(const platform::Machine& machine, const std::string& recordFile,
                    const std::vector<fs::path>& made) {
  for (const auto& path : made) {
    // A path with "=" cannot be a key; such a file is one Wine's tool never names.
    if (path.string().find('=') != std::string::npos) continue;
    std::error_code ec;
    const std::string key = path.string() + (fs::is_directory(path, ec) ? "/" : "");
    WriteProfileOrRaise(machine, recordFile, kHostMenuSection, key.c_str(), "");
  }
}

std::vector<fs::path> ReadHostMenuRecord(const platform::Machine& machine,
                                         const std::string& recordFile) {
  std::vector<fs::path> paths;
  const platform::ResolvedPath r = machine.Resolve(recordFile);
  if (!IsPlainFile(r)) return paths;
  for (const auto& key : platform::LoadProfile(r.host).KeyNames(kHostMenuSection))
    paths.emplace_back(key);
  return paths;
}

}  // namespace nolvo::setup
