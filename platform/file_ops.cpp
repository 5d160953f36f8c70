#include "platform/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_attributes.h"
#include "platform/win_error.h"

namespace nolvo::platform {

namespace {

constexpr std::uint32_t kBlockingAttributes =
    kFileAttributeReadonly | kFileAttributeHidden | kFileAttributeSystem;

// Wraps the open descriptor `fd` of `host` in a stream that holds `handle` in the
// open-file table; when `handle` is 0 the file is registered here with `write`/`share`.
std::unique_ptr<HostFileStream> Wrap(const std::filesystem::path& host, int fd,
                                     std::uint64_t handle, bool write, ShareMode share,
                                     WinError& error) {
  if (handle == 0) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      error = ErrorFromErrno(errno);
      ::close(fd);
      return nullptr;
    }
    handle = RegisterOpen(FileIdentity{st.st_dev, st.st_ino}, write, share);
    if (handle == 0) {
      error = kErrorSharingViolation;
      ::close(fd);
      return nullptr;
    }
  }
  auto stream = std::make_unique<SharedFileStream>(host, fd);
  stream->Adopt(handle);
  error = kErrorSuccess;
  return stream;
}

// Empties the open file `fd` as O_TRUNC would; returns 0 or an errno value. A file that
// is empty already is not truncated, only stamped: on ext4 truncating an empty file marks
// it as replaced, and its new contents are then written out when it is closed.
int EmptyOpened(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return 0;  // O_TRUNC leaves other kinds alone as well
  if (st.st_size > 0) return ::ftruncate(fd, 0) == 0 ? 0 : errno;
  const timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
  return ::futimens(fd, times) == 0 ? 0 : errno;
}

std::unique_ptr<HostFileStream> Fail(WinError code, WinError& error) {
  error = code;
  return nullptr;
}

}  // namespace

std::unique_ptr<HostFileStream> OpenFileRead(const Machine& machine, std::string_view path,
                                             ShareMode share, WinError& error) {
  const ResolvedPath r = machine.Resolve(path);
  if (r.error != kErrorSuccess) return Fail(r.error, error);
  if (!r.exists) return Fail(kErrorFileNotFound, error);
  if (r.isDirectory) return Fail(kErrorAccessDenied, error);
  struct stat st {};
  if (::stat(r.host.c_str(), &st) != 0) return Fail(kErrorFileNotFound, error);
  // A pipe or socket would block or never end; Windows files are neither.
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return Fail(kErrorAccessDenied, error);
  const std::uint64_t handle = RegisterOpen(FileIdentity{st.st_dev, st.st_ino}, false, share);
  if (handle == 0) return Fail(kErrorSharingViolation, error);
  const int fd = ::open(r.host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    UnregisterOpen(handle);
    return Fail(ErrorFromErrno(err), error);
  }
  return Wrap(r.host, fd, handle, false, share, error);
}

std::unique_ptr<HostFileStream> CreateFileAlways(const Machine& machine, std::string_view path,
                                                 WinError& error) {
  const ResolvedPath r = machine.Resolve(path);
  if (r.error != kErrorSuccess) return Fail(r.error, error);
  if (r.full.back() == '\\') return Fail(kErrorInvalidName, error);
  if (!r.exists) {
    const int fd = ::open(r.host.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return Fail(ErrorFromErrno(errno), error);
    machine.NoteAdded(r.host.parent_path(), r.host.filename().string());
    return Wrap(r.host, fd, 0, true, ShareMode::shExclusive, error);
  }
  if (r.isDirectory || r.isRoot) return Fail(kErrorAccessDenied, error);
  if (HostAttributes(r.host) & kBlockingAttributes) return Fail(kErrorAccessDenied, error);
  FileIdentity id;
  std::uint64_t handle = 0;
  if (IdentityOf(r.host, id)) {
    handle = RegisterOpen(id, true, ShareMode::shExclusive);
    if (handle == 0) return Fail(kErrorSharingViolation, error);
  }
  // A dangling link is created through, as Windows would create the file it names.
  const int fd = ::open(r.host.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  const int err = fd < 0 ? errno : EmptyOpened(fd);
  if (err != 0) {
    if (fd >= 0) ::close(fd);
    UnregisterOpen(handle);
    return Fail(ErrorFromErrno(err), error);
  }
  return Wrap(r.host, fd, handle, true, ShareMode::shExclusive, error);
}

std::unique_ptr<HostFileStream> CreateFileFresh(const Machine& machine, std::string_view path,
                                                WinError& error) {
  const ResolvedPath r = machine.Resolve(path);
  if (r.error != kErrorSuccess) return Fail(r.error, error);
  if (r.full.back() == '\\') return Fail(kErrorInvalidName, error);
  if (r.isRoot) return Fail(kErrorAccessDenied, error);
  if (r.exists) {
    struct stat st {};
    if (::lstat(r.host.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) return Fail(kErrorAccessDenied, error);
      if (!S_ISLNK(st.st_mode) && IsOpen(FileIdentity{st.st_dev, st.st_ino}))
        return Fail(kErrorSharingViolation, error);
      if (::unlink(r.host.c_str()) != 0 && errno != ENOENT)
        return Fail(ErrorFromErrno(errno), error);
    }
  }
  const int fd = ::open(r.host.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return Fail(ErrorFromErrno(errno), error);
  machine.NoteAdded(r.host.parent_path(), r.host.filename().string());
  return Wrap(r.host, fd, 0, true, ShareMode::shExclusive, error);
}

WinError DeleteFile(const Machine& machine, std::string_view path) {
  const ResolvedPath r = machine.Resolve(path);
  if (r.error != kErrorSuccess) return r.error;
  if (!r.exists) return kErrorFileNotFound;
  if (r.isRoot) return kErrorAccessDenied;
  struct stat st {};
  if (::lstat(r.host.c_str(), &st) != 0) return ErrorFromErrno(errno);
  if (!S_ISLNK(st.st_mode)) {
    if (!S_ISREG(st.st_mode)) return kErrorAccessDenied;
    if ((st.st_mode & S_IWUSR) == 0) return kErrorAccessDenied;
    if (IsOpen(FileIdentity{st.st_dev, st.st_ino})) return kErrorSharingViolation;
  }
  if (::unlink(r.host.c_str()) != 0) return ErrorFromErrno(errno);
  return kErrorSuccess;
}

WinError CreateDirectory(const Machine& machine, std::string_view path) {
  const ResolvedPath r = machine.Resolve(path);
  if (r.error != kErrorSuccess) return r.error;
  if (r.exists) return kErrorAlreadyExists;
  if (::mkdir(r.host.c_str(), 0777) != 0) return ErrorFromErrno(errno);
  machine.NoteAdded(r.host.parent_path(), r.host.filename().string());
  return kErrorSuccess;
}

WinError RemoveDirectory(const Machine& machine, std::string_view path) {
  const ResolvedPath r = machine.Resolve(path);
  if (r.error != kErrorSuccess) return r.error;
  if (!r.exists) return kErrorFileNotFound;
  if (r.isRoot) return kErrorAccessDenied;
  if (!r.isDirectory) return kErrorDirectory;
  struct stat st {};
  if (::lstat(r.host.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // A link to a directory is removed itself.
    if (::unlink(r.host.c_str()) != 0) return ErrorFromErrno(errno);
    return kErrorSuccess;
  }
  FileIdentity target;
  FileIdentity current;
  if (IdentityOf(r.host, target) && IdentityOf(machine.CurrentHostDirectory(), current) &&
      target == current)
    return kErrorSharingViolation;
  if (::rmdir(r.host.c_str()) != 0) {
    const int err = errno;
    if (err == ENOTEMPTY || err == EEXIST) return kErrorDirNotEmpty;
    return ErrorFromErrno(err);
  }
  return kErrorSuccess;
}

}  // namespace nolvo::platform
