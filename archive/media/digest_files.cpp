#include "archive/media/digest_files.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <stdexcept>
#include <thread>

namespace nolvo::media {

namespace fs = std::filesystem;

namespace {

// A host file descriptor open for reading, closed on every path.
class ReadFd {
 public:
  explicit ReadFd(const fs::path& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~ReadFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  ReadFd(const ReadFd&) = delete;
  ReadFd& operator=(const ReadFd&) = delete;
  int Get() const { return fd_; }

  // Reads up to `count` bytes; -1 on an error.
  ssize_t Read(void* buffer, std::size_t count) {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, count);
      if (n >= 0 || errno != EINTR) return n;
    }
  }

 private:
  int fd_;
};

}  // namespace

namespace {

// Read size of the hashing; one buffer serves every file a thread hashes.
constexpr std::size_t kHashBufferSize = 64 * 1024;

HostFileDigest HashWith(const fs::path& path, std::uint8_t* buffer) {
  ReadFd file(path);
  if (file.Get() < 0) throw std::runtime_error(fmt::format("cannot open {}", path.string()));
  Sha256 sha;
  HostFileDigest result;
  std::uint32_t sum = 0;
  for (;;) {
    const ssize_t n = file.Read(buffer, kHashBufferSize);
    if (n < 0) throw std::runtime_error(fmt::format("cannot read {}", path.string()));
    if (n == 0) break;
    sha.Update(buffer, static_cast<std::size_t>(n));
    for (ssize_t i = 0; i < n; ++i) sum += buffer[i];
    result.Size += n;
  }
  result.ByteSum = sum;
  result.Digest = sha.Final();
  return result;
}

}  // namespace

HostFileDigest HashHostFile(const fs::path& path) {
  const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kHashBufferSize);
  return HashWith(path, buffer.get());
}

std::vector<HashedHostFile> HashHostFiles(const std::vector<fs::path>& paths, int threads) {
  std::vector<HashedHostFile> hashed(paths.size());
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    std::unique_ptr<std::uint8_t[]> buffer;
    for (std::size_t i; (i = next.fetch_add(1)) < paths.size();) {
      try {
        if (!buffer) buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kHashBufferSize);
        hashed[i].Digest = HashWith(paths[i], buffer.get());
      } catch (...) {
        hashed[i].Error = std::current_exception();
      }
    }
  };
  const std::size_t used = std::min(paths.size(), static_cast<std::size_t>(std::max(threads, 1)));
  {
    std::vector<std::jthread> helpers;
    for (std::size_t t = 1; t < used; ++t) helpers.emplace_back(work);
    work();
  }
  return hashed;
}

std::vector<FileDigest> DigestFolderFiles(const fs::path& folder,
                                          const std::vector<std::string>& names, int threads) {
  std::vector<fs::path> paths;
  for (const auto& name : names) paths.push_back(folder / name);
  const std::vector<HashedHostFile> hashed = HashHostFiles(paths, threads);
  std::vector<FileDigest> files;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (hashed[i].Error) std::rethrow_exception(hashed[i].Error);
    files.push_back({names[i], hashed[i].Digest.Digest});
  }
  return files;
}

std::optional<std::string> ReadDigestListFile(const fs::path& path) {
  std::error_code ec;
  const auto status = fs::symlink_status(path, ec);
  if (!fs::exists(status)) return std::nullopt;
  const std::string name = path.filename().string();
  ReadFd file(path);
  if (file.Get() < 0 || fs::is_directory(fs::status(path, ec)))
    throw EDigestList(fmt::format("{}: cannot be read", name));
  std::string text;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = file.Read(buffer, sizeof buffer);
    if (n < 0) throw EDigestList(fmt::format("{}: cannot be read", name));
    if (n == 0) break;
    if (static_cast<std::int64_t>(text.size()) + n > kMaxDigestListSize)
      throw EDigestList(fmt::format("{}: larger than any digest list", name));
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

}  // namespace nolvo::media
