#pragma once
// SHA-256 through libcrypto, and the hexadecimal form digest lists use.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace nolvo::media {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
 public:
  // Throws std::runtime_error when libcrypto cannot set up the digest.
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(const void* data, std::size_t size);
  // The digest of everything given since construction or the last Final; starts over.
  Sha256Digest Final();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

// The digest of `bytes` in one call.
Sha256Digest Sha256Of(std::string_view bytes);

// 64 lower-case hexadecimal digits.
std::string ToHex(const Sha256Digest& digest);
// Reads exactly 64 hexadecimal digits (either case); false for anything else.
bool FromHex(std::string_view hex, Sha256Digest& digest);

}  // namespace nolvo::media
