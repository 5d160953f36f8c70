#include "platform/machine.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/ascii.h"
#include "platform/win_error.h"

namespace nolvo::platform {

namespace fs = std::filesystem;

namespace {

std::string LinkName(char letter) {
  const char lower = AsciiLower(letter);
  return std::string(1, lower) + ":";
}

bool EntryExists(const fs::path& p) {
  struct stat st {};
  return ::lstat(p.c_str(), &st) == 0;
}

bool IsDirectory(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A folder's identity and modification time, as the name index checks them.
bool FolderStamp(const fs::path& dir, std::uint64_t& device, std::uint64_t& inode,
                 std::int64_t& modified) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  device = st.st_dev;
  inode = st.st_ino;
  modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return true;
}

// Whether `path` is `root` or lies below it (both absolute and normalised).
bool IsWithin(const fs::path& path, const fs::path& root) {
  const fs::path rel = path.lexically_relative(root);
  if (rel.empty()) return false;
  const auto first = *rel.begin();
  return first != "..";
}

}  // namespace

Machine::Machine(const fs::path& prefix) : Machine(prefix, CodePage::FromEnvironment()) {}

Machine::Machine(const fs::path& prefix, CodePage codePage) : codePage_(std::move(codePage)) {
  if (prefix.empty()) throw EPrefixError("No prefix folder given");
  std::error_code aec;
  prefix_ = fs::absolute(prefix, aec).lexically_normal();
  if (aec)
    throw EPrefixError("Cannot use the prefix folder " + prefix.string() + ": " + aec.message());
  if (prefix_.has_filename() == false && prefix_ != prefix_.root_path())
    prefix_ = prefix_.parent_path();
  Complete();
  std::error_code ec;
  const std::string here = ToWindows(fs::current_path(ec));
  if (here.empty() || SetCurrentDirectory(here) != kErrorSuccess) {
    current_ = "C:\\";
    dirs_.current = 'C';
  }
}

Machine Machine::FromEnvironment() { return Machine(DefaultPrefix()); }

fs::path Machine::DefaultPrefix() {
  if (const char* p = std::getenv("NOLVO_PREFIX"); p != nullptr && *p != '\0') return p;
  if (const char* x = std::getenv("XDG_DATA_HOME"); x != nullptr && *x == '/')
    return fs::path(x) / "nolvo" / "prefix";
  std::string home;
  if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0') {
    home = h;
  } else if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    home = pw->pw_dir;
  } else {
    home = "/";
  }
  return fs::path(home) / ".local" / "share" / "nolvo" / "prefix";
}

void Machine::Complete() {
  const auto fail = [this](int err) {
    throw EPrefixError("Cannot create or write the prefix folder " + prefix_.string() + ": " +
                       std::strerror(err));
  };
  std::error_code ec;
  fs::create_directories(prefix_, ec);
  if (ec) fail(ec.value());
  if (!IsDirectory(prefix_)) fail(ENOTDIR);
  if (::access(prefix_.c_str(), W_OK | X_OK) != 0) fail(errno);

  const fs::path devices = DosDevices();
  const bool newDevices = !EntryExists(devices);
  if (newDevices && ::mkdir(devices.c_str(), 0777) != 0) fail(errno);
  if (!IsDirectory(devices)) fail(ENOTDIR);
  if (::access(devices.c_str(), W_OK | X_OK) != 0) fail(errno);

  const fs::path c = devices / "c:";
  if (!EntryExists(c) && ::symlink("../drive_c", c.c_str()) != 0) fail(errno);
  std::error_code lec;
  const fs::path cTarget = fs::read_symlink(c, lec);
  if (!lec && cTarget == "../drive_c" && !EntryExists(prefix_ / "drive_c") &&
      ::mkdir((prefix_ / "drive_c").c_str(), 0777) != 0)
    fail(errno);
  // The host's root as Z: only in a new prefix, as Wine does: a prefix whose Z: was
  // removed (to keep its programs off the host's files) stays without it.
  const fs::path z = devices / "z:";
  if (newDevices && !EntryExists(z) && ::symlink("/", z.c_str()) != 0) fail(errno);
}

WinError Machine::MapDrive(char letter, const fs::path& target) {
  if (!((letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z')))
    return kErrorInvalidParameter;
  const fs::path link = DosDevices() / LinkName(letter);
  if (EntryExists(link) && ::unlink(link.c_str()) != 0) return ErrorFromErrno(errno);
  std::error_code ec;
  const fs::path abs = fs::absolute(target, ec);
  if (ec) return kErrorPathNotFound;
  if (::symlink(abs.c_str(), link.c_str()) != 0) return ErrorFromErrno(errno);
  return kErrorSuccess;
}

std::optional<fs::path> Machine::DriveRoot(char letter) const {
  if (!((letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z'))) return std::nullopt;
  fs::path link = DosDevices() / LinkName(letter);
  if (!EntryExists(link)) {
    std::string upper = LinkName(letter);
    upper[0] = AsciiUpper(upper[0]);
    link = DosDevices() / upper;
    if (!EntryExists(link)) return std::nullopt;
  }
  std::error_code ec;
  fs::path root = fs::canonical(link, ec);
  if (ec || !IsDirectory(root)) return std::nullopt;
  return root;
}

WinError Machine::FullPath(std::string_view path, std::string& out) const {
  return FullPathName(path, dirs_, out);
}

std::optional<std::string> Machine::FindEntry(const fs::path& dir, const std::string& name) const {
  if (EntryExists(dir / name)) return name;
  FolderNames stamp;
  if (!FolderStamp(dir, stamp.device, stamp.inode, stamp.modified)) return std::nullopt;
  FolderNames& known = folders_[dir.string()];
  if (known.device != stamp.device || known.inode != stamp.inode ||
      known.modified != stamp.modified) {
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), ::closedir);
    if (!d) {
      folders_.erase(dir.string());
      return std::nullopt;
    }
    known = stamp;
    while (const dirent* e = ::readdir(d.get())) {
      const std::string entry(e->d_name);
      if (entry == "." || entry == "..") continue;
      auto [it, added] = known.byUpper.emplace(AsciiUpper(entry), entry);
      if (!added && entry < it->second) it->second = entry;
    }
  }
  const auto it = known.byUpper.find(AsciiUpper(name));
  if (it == known.byUpper.end()) return std::nullopt;
  // A name this index still holds may have gone since; then the folder is read again.
  if (!EntryExists(dir / it->second)) {
    folders_.erase(dir.string());
    return FindEntry(dir, name);
  }
  return it->second;
}

void Machine::NoteAdded(const fs::path& dir, const std::string& name) const {
  const auto it = folders_.find(dir.string());
  if (it == folders_.end()) return;
  FolderNames& known = it->second;
  if (!FolderStamp(dir, known.device, known.inode, known.modified)) {
    folders_.erase(it);
    return;
  }
  auto [entry, added] = known.byUpper.emplace(AsciiUpper(name), name);
  if (!added && name < entry->second) entry->second = name;
}

ResolvedPath Machine::Resolve(std::string_view path) const {
  ResolvedPath r;
  r.error = FullPath(path, r.full);
  if (r.error != kErrorSuccess) return r;
  const auto root = DriveRoot(r.full[0]);
  if (!root) {
    r.error = kErrorPathNotFound;
    return r;
  }
  std::vector<std::string> parts;
  std::size_t start = 3;
  for (std::size_t i = 3; i <= r.full.size(); ++i) {
    if (i == r.full.size() || r.full[i] == '\\') {
      if (i > start) parts.push_back(r.full.substr(start, i - start));
      start = i + 1;
    }
  }
  for (const auto& part : parts) {
    for (char ch : part) {
      if (InvalidNameChar(ch)) {
        r.error = kErrorInvalidName;
        return r;
      }
    }
  }
  r.isRoot = parts.empty();
  fs::path cur = *root;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string hostName = codePage_.ToUtf8(parts[i]);
    const bool last = i + 1 == parts.size();
    const auto match = FindEntry(cur, hostName);
    if (!match) {
      if (!last) {
        r.error = kErrorPathNotFound;
        return r;
      }
      r.host = cur / hostName;
      return r;
    }
    cur /= *match;
    if (!last && !IsDirectory(cur)) {
      r.error = kErrorPathNotFound;
      return r;
    }
  }
  r.host = cur;
  r.exists = true;
  r.isDirectory = IsDirectory(cur);
  // "name\" names a directory; a file of that name does not answer to it.
  if (!r.isDirectory && r.full.back() == '\\') {
    r.error = kErrorInvalidName;
    r.exists = false;
  }
  return r;
}

std::string Machine::ToWindows(const fs::path& host) const {
  std::error_code ec;
  const fs::path h = fs::weakly_canonical(fs::absolute(host, ec), ec);
  if (ec) return {};
  char bestLetter = 0;
  fs::path bestRoot;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const auto root = DriveRoot(letter);
    if (!root || !IsWithin(h, *root)) continue;
    if (bestLetter == 0 || root->native().size() > bestRoot.native().size()) {
      bestLetter = letter;
      bestRoot = *root;
    }
  }
  if (bestLetter == 0) return {};
  std::string out = std::string(1, bestLetter) + ":\\";
  bool first = true;
  for (const auto& part : h.lexically_relative(bestRoot)) {
    if (part == "." || part.empty()) continue;
    if (!first) out += '\\';
    out += WindowsName(part.native());
    first = false;
  }
  return out;
}

std::string Machine::WindowsName(std::string_view hostName) const {
  std::string name = codePage_.FromUtf8(hostName);
  for (char& c : name)
    if (InvalidNameChar(c) || c == '\\' || c == '/') c = '?';
  return name;
}

bool Machine::IsOnPrefixDrive(std::string_view path) const {
  std::string full;
  if (FullPath(path, full) != kErrorSuccess) return false;
  const auto root = DriveRoot(full[0]);
  if (!root) return false;
  std::error_code ec;
  const fs::path prefix = fs::canonical(prefix_, ec);
  if (ec || !IsWithin(*root, prefix) || *root == prefix) return false;
  const ResolvedPath r = Resolve(full);
  if (r.error == kErrorSuccess) {
    const fs::path real = fs::weakly_canonical(r.host, ec);
    if (ec || !IsWithin(real, prefix)) return false;
  }
  return true;
}

const std::string& Machine::GetCurrentDirectory() const { return current_; }

WinError Machine::SetCurrentDirectory(std::string_view path) {
  const ResolvedPath r = Resolve(path);
  if (r.error != kErrorSuccess) return r.error;
  if (!r.exists) return kErrorFileNotFound;
  if (!r.isDirectory) return kErrorDirectory;
  std::string dir = r.full;
  if (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
  current_ = dir;
  dirs_.current = DriveLetterOf(dir);
  dirs_.Set(dir);
  return kErrorSuccess;
}

fs::path Machine::CurrentHostDirectory() const { return Resolve(current_).host; }

bool Machine::IsWinePrefix() const {
  struct stat st {};
  return ::stat((prefix_ / "system.reg").c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Machine::WindowsDirectory() const {
  static const std::string kWindows = "C:\\WINDOWS";
  if (!windowsReady_) {
    // An existing folder of any case is used; a new one gets Wine's spelling.
    const ResolvedPath r = Resolve("C:\\windows");
    if (r.error == kErrorSuccess && !r.exists) ::mkdir(r.host.c_str(), 0777);
    windowsReady_ = r.error == kErrorSuccess;
  }
  return kWindows;
}

}  // namespace nolvo::platform
