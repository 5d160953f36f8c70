#pragma once
// The common base of the platform layer's failures (streams, registry, links, prefix,
// code pages), so that a caller can catch them together.

#include <stdexcept>

namespace nolvo::platform {

class EPlatformError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace nolvo::platform
