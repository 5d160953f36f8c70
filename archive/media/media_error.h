#pragma once
// The common base of the media layer's failures (digest lists, media paths, refused or
// cancelled runs, packing), so that a caller can catch them together.

#include <stdexcept>

namespace nolvo::media {

class EMediaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace nolvo::media
