#pragma once
// The setup lock of a prefix: an exclusive flock on <prefix>/nolvo.lock, held for the
// lifetime of the object. A second holder (another process, or another PrefixLock in
// this one) is refused at once with EPrefixLocked.

#include <filesystem>

#include "platform/machine.h"

namespace nolvo::platform {

class PrefixLock {
 public:
  // Takes the lock of `machine`'s prefix. Throws EPrefixLocked ("another setup is
  // running on prefix <folder>") when it is held, EPrefixError when the lock file
  // cannot be opened.
  explicit PrefixLock(const Machine& machine);
  ~PrefixLock();
  PrefixLock(const PrefixLock&) = delete;
  PrefixLock& operator=(const PrefixLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace nolvo::platform
