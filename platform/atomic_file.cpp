#include "platform/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace nolvo::platform {

namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

// Creates a new, exclusive temporary file beside `target`; returns its descriptor or -1.
int CreateTemp(const std::filesystem::path& target, std::filesystem::path& temp) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path dir = target.parent_path().empty() ? "." : target.parent_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Appended piece by piece: GCC 12 warns falsely about "literal" + std::string&&.
    std::string name = ".";
    name += target.filename().string();
    name += ".tmp";
    name += std::to_string(::getpid());
    name += '-';
    name += std::to_string(counter.fetch_add(1));
    temp = dir / name;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAll(int fd, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    const ssize_t done = ::write(fd, p, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      if (done == 0) errno = EIO;
      return false;
    }
    p += done;
    n -= static_cast<std::size_t>(done);
  }
  return true;
}

// Makes the rename itself durable; a folder that cannot be synced is no failure of the write.
void SyncFolder(const std::filesystem::path& target) {
  const std::filesystem::path dir = target.parent_path().empty() ? "." : target.parent_path();
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::error_code WriteFileAtomic(const std::filesystem::path& path,
                                std::span<const std::uint8_t> bytes,
                                const BeforeRename& beforeRename) noexcept {
  try {
    if (path.filename().empty()) return std::make_error_code(std::errc::is_a_directory);
    std::filesystem::path temp;
    const int fd = CreateTemp(path, temp);
    if (fd < 0) return LastError();

    std::error_code failure;
    struct stat old {};
    // A replaced file keeps its permission bits.
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
        ::fchmod(fd, old.st_mode & 07777) != 0)
      failure = LastError();
    if (!failure && !WriteAll(fd, bytes.data(), bytes.size())) failure = LastError();
    if (!failure && ::fsync(fd) != 0) failure = LastError();
    if (::close(fd) != 0 && !failure) failure = LastError();
    if (!failure && beforeRename && !beforeRename(temp))
      failure = std::make_error_code(std::errc::operation_canceled);
    if (!failure && ::rename(temp.c_str(), path.c_str()) != 0) failure = LastError();
    if (failure) {
      ::unlink(temp.c_str());
      return failure;
    }
    SyncFolder(path);
    return {};
  } catch (const std::bad_alloc&) {
    return std::make_error_code(std::errc::not_enough_memory);
  }
}

std::error_code WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                                const BeforeRename& beforeRename) noexcept {
  return WriteFileAtomic(
      path, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
      beforeRename);
}

std::vector<std::filesystem::path> LeftoverTemporaries(const std::filesystem::path& path) {
  std::vector<std::filesystem::path> out;
  const std::filesystem::path dir = path.parent_path().empty() ? "." : path.parent_path();
  const std::string prefix = "." + path.filename().string() + ".tmp";
  std::error_code ec;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    // <process id>-<number>, digits only.
    const std::string rest = name.substr(prefix.size());
    const std::size_t dash = rest.find('-');
    const auto digits = [](std::string_view s) {
      return !s.empty() && s.size() < 10 && s.find_first_not_of("0123456789") == s.npos;
    };
    if (dash == std::string::npos || !digits(std::string_view(rest).substr(0, dash)) ||
        !digits(std::string_view(rest).substr(dash + 1)))
      continue;
    const pid_t pid = static_cast<pid_t>(std::stol(rest.substr(0, dash)));
    if (pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH) continue;  // its writer may be alive
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) out.push_back(it->path());
  }
  return out;
}

void WriteFileAtomicOrThrow(const std::filesystem::path& path, std::string_view bytes) {
  if (const std::error_code ec = WriteFileAtomic(path, bytes))
    throw std::filesystem::filesystem_error("Cannot write file", path, ec);
}

}  // namespace nolvo::platform
