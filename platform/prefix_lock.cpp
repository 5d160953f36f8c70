#include "platform/prefix_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/win_error.h"

namespace nolvo::platform {

PrefixLock::PrefixLock(const Machine& machine) {
  const auto path = machine.LockFile();
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd_ < 0)
    throw EPrefixError("Cannot open the lock file " + path.string() + ": " + std::strerror(errno));
  int r;
  do {
    r = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  if (r != 0) {
    const int err = errno;
    ::close(fd_);
    fd_ = -1;
    if (err == EWOULDBLOCK)
      throw EPrefixLocked("another setup is running on prefix " + machine.Prefix().string());
    throw EPrefixError("Cannot lock " + path.string() + ": " + std::strerror(err));
  }
}

PrefixLock::~PrefixLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace nolvo::platform
