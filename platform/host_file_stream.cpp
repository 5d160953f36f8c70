#include "platform/host_file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace nolvo::platform {

namespace {
std::string HostError(const char* what, const std::filesystem::path& path) {
  return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}
}  // namespace

HostFileStream::HostFileStream(const std::filesystem::path& path, Mode mode) : path_(path) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::mdRead:
      flags |= O_RDONLY;
      break;
    case Mode::mdReadWrite:
      flags |= O_RDWR;
      break;
    case Mode::mdCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case Mode::mdCreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
      break;
  }
  fd_ = ::open(path.c_str(), flags, 0666);
  if (fd_ < 0) throw EStreamError(HostError("Cannot open", path));
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    errno = EISDIR;
    throw EStreamError(HostError("Cannot open", path));
  }
}

HostFileStream::~HostFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t HostFileStream::Read(void* buffer, std::size_t count) {
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, count);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw EStreamError(HostError("Cannot read", path_));
  }
}

void HostFileStream::WriteAll(const void* buffer, std::size_t count) {
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  while (count > 0) {
    const ssize_t n = ::write(fd_, p, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw EStreamError(HostError("Cannot write", path_));
    p += n;
    count -= static_cast<std::size_t>(n);
  }
}

std::int64_t HostFileStream::Seek(std::int64_t offset, SeekOrigin origin) {
  const int whence = origin == SeekOrigin::soBeginning ? SEEK_SET
                     : origin == SeekOrigin::soCurrent ? SEEK_CUR
                                                       : SEEK_END;
  const off_t r = ::lseek(fd_, offset, whence);
  if (r < 0) throw EStreamError(HostError("Cannot seek", path_));
  return r;
}

std::int64_t HostFileStream::Size() {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) throw EStreamError(HostError("Cannot stat", path_));
  return st.st_size;
}

void HostFileStream::Close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw EStreamError(HostError("Cannot close", path_));
}

}  // namespace nolvo::platform
