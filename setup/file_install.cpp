#include "setup/file_install.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>

#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "platform/win_error.h"
#include "setup/created_files.h"
#include "util/file_errors.h"

namespace nolvo::setup {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kCopyBlock = 256 * 1024;

// The temporary file of one copy: removed unless it took the target's name.
class TempFile {
 public:
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  // Creates the file `path`, which must not exist yet; errno tells why it failed.
  bool Create(const fs::path& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0) return false;
    path_ = path;
    return true;
  }
  bool Write(const char* data, std::size_t size) {
    while (size > 0) {
      const ssize_t n = ::write(fd_, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }
  const fs::path& Path() const { return path_; }
  // Gives the file the name `target`; it is no longer removed.
  bool Rename(const fs::path& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) return false;
    path_.clear();
    return true;
  }

 private:
  int fd_ = -1;
  fs::path path_;
};

// The permissions a file created now gets (0666 less the umask).
mode_t FreshFileMode() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return 0666 & ~mask;
}

// Refuses a target CreateFile would not replace: a folder, a root, and read-only, hidden
// or system files.
void CheckReplaceable(const platform::ResolvedPath& r, const std::string& target) {
  const std::string shown = r.full.empty() ? target : r.full;
  if (r.error != platform::kErrorSuccess || r.isRoot || r.full.back() == '\\')
    throw util::EFCreateError("Cannot create file " + shown);
  constexpr std::uint32_t kBlocking = platform::kFileAttributeReadonly |
                                      platform::kFileAttributeHidden |
                                      platform::kFileAttributeSystem;
  if (r.exists && (r.isDirectory || (platform::HostAttributes(r.host) & kBlocking)))
    throw util::EFCreateError("Cannot create file " + shown);
}

std::string NextTempName() {
  static std::atomic<unsigned> counter{0};
  return ".nolvo-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) +
         ".part";
}

}  // namespace

bool IsTemporaryName(std::string_view name) {
  // ".nolvo-" PID "-" COUNT ".part", as NextTempName makes it.
  constexpr std::string_view head = ".nolvo-", tail = ".part";
  if (name.size() <= head.size() + tail.size() || name.substr(0, head.size()) != head ||
      name.substr(name.size() - tail.size()) != tail)
    return false;
  const std::string_view middle = name.substr(head.size(), name.size() - head.size() - tail.size());
  const auto dash = middle.find('-');
  const auto digits = [](std::string_view t) {
    return !t.empty() && t.find_first_not_of("0123456789") == std::string_view::npos;
  };
  return dash != std::string_view::npos && digits(middle.substr(0, dash)) &&
         digits(middle.substr(dash + 1));
}

InstalledFile InstallFile(const platform::Machine& machine, const std::string& source,
                          const std::string& target,
                          const std::function<void(const std::string&)>& beforeTemp,
                          const std::function<void()>& checkpoint,
                          const std::function<void(const InstalledFile&)>& beforeName) {
  platform::WinError error;
  auto in = platform::OpenFileRead(machine, source, platform::ShareMode::shDenyWrite, error);
  if (!in) throw util::EFOpenError("Cannot open file " + source);

  const platform::ResolvedPath r = machine.Resolve(target);
  auto cannotCreate = [&] {
    return util::EFCreateError("Cannot create file " + (r.full.empty() ? target : r.full));
  };
  if (r.error != platform::kErrorSuccess || r.isRoot || r.full.back() == '\\') throw cannotCreate();
  if (r.exists) {
    // What CreateFile refuses to replace: a folder, and read-only, hidden or system files.
    constexpr std::uint32_t kBlocking = platform::kFileAttributeReadonly |
                                        platform::kFileAttributeHidden |
                                        platform::kFileAttributeSystem;
    if (r.isDirectory || (platform::HostAttributes(r.host) & kBlocking)) throw cannotCreate();
  }

  // The temporary name is announced before the file exists, so that a run that dies
  // while writing leaves no file nobody knows of.
  const std::string folder = r.full.substr(0, r.full.find_last_of('\\') + 1);
  TempFile temp;
  for (int attempt = 0;; ++attempt) {
    const std::string name = NextTempName();
    if (beforeTemp) beforeTemp(folder + name);
    if (temp.Create(r.host.parent_path() / name)) break;
    if (errno != EEXIST || attempt >= 100) throw cannotCreate();
  }

  std::unique_ptr<char[]> buffer(new char[kCopyBlock]);
  for (;;) {
    if (checkpoint) checkpoint();
    std::size_t got = 0;
    try {
      got = in->Read(buffer.get(), kCopyBlock);
    } catch (const platform::EStreamError&) {
      throw util::EFReadError("Cannot read file " + source);
    }
    if (got == 0) break;
    if (!temp.Write(buffer.get(), got)) throw util::EFWriteError("Cannot write file " + r.full);
  }
  in.reset();
  if (!temp.Close()) throw util::EFWriteError("Cannot write file " + r.full);
  if (beforeName) {
    // The name does not change the size or the modification time.
    InstalledFile complete{r.full, 0, 0};
    StatCreatedFile(temp.Path(), complete.size, complete.modified);
    beforeName(complete);
  }
  if (!temp.Rename(r.host)) throw cannotCreate();
  // The folder now holds the target's name and no longer the temporary one.
  machine.NoteAdded(r.host.parent_path(), r.host.filename().string());

  InstalledFile done;
  done.target = r.full;
  StatCreatedFile(r.host, done.size, done.modified);
  return done;
}

std::optional<InstalledFile> MoveFileIntoPlace(
    const platform::Machine& machine, const std::string& source, const std::string& target,
    const std::function<void(const InstalledFile&)>& beforeName) {
  const platform::ResolvedPath from = machine.Resolve(source);
  if (from.error != platform::kErrorSuccess || !from.exists || from.isDirectory)
    return std::nullopt;
  const platform::ResolvedPath r = machine.Resolve(target);
  CheckReplaceable(r, target);
  // Only a plain file of its own (no link, no second name) is moved; it takes the
  // metadata of a new copy before it takes its new name.
  const int fd = ::open(from.host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  const bool movable = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 &&
                       ::fchmod(fd, FreshFileMode()) == 0;
  if (movable) {
    ::fremovexattr(fd, "user.DOSATTRIB");
    const timespec now[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
    ::futimens(fd, now);
  }
  ::close(fd);
  if (!movable) return std::nullopt;
  // A rename across file systems fails; it is known before anything is recorded.
  struct stat folder {};
  if (::stat(r.host.parent_path().c_str(), &folder) != 0 || folder.st_dev != st.st_dev)
    return std::nullopt;
  if (beforeName) {
    InstalledFile complete{r.full, 0, 0};
    StatCreatedFile(from.host, complete.size, complete.modified);
    beforeName(complete);
  }
  if (::rename(from.host.c_str(), r.host.c_str()) != 0) return std::nullopt;
  machine.NoteAdded(r.host.parent_path(), r.host.filename().string());
  InstalledFile done;
  done.target = r.full;
  StatCreatedFile(r.host, done.size, done.modified);
  return done;
}

std::vector<std::string> MakeDirectoryPath(
    const platform::Machine& machine, const std::string& path,
    const std::function<void(const std::string&)>& beforeMake) {
  if (path.empty()) throw util::EInOutError("Unable to create directory");
  std::string full;
  if (machine.FullPath(path, full) != platform::kErrorSuccess) return {};
  if (full.size() > 3 && full.back() == '\\') full.pop_back();
  if (full.size() < 3) return {};
  // The missing directories, from the deepest up to the first that exists.
  std::vector<std::string> missing;
  for (std::string dir = full; dir.size() > 3; dir = dir.substr(0, dir.find_last_of('\\'))) {
    const platform::ResolvedPath r = machine.Resolve(dir);
    const bool there = r.error == platform::kErrorSuccess && r.exists;
    if (there && r.isDirectory) break;
    // A file in the way: neither it nor anything beneath it can be made.
    if (there) return {};
    missing.push_back(dir);
    if (dir.find_last_of('\\') < 3) break;
  }
  std::vector<std::string> made;
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (beforeMake) beforeMake(*it);
    if (platform::CreateDirectory(machine, *it) == platform::kErrorSuccess)
      made.push_back(*it);
    else if (!platform::DirectoryExists(machine, *it))
      break;  // nothing beneath it can be made
  }
  return made;
}

}  // namespace nolvo::setup
