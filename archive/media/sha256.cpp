#include "archive/media/sha256.h"

// libcrypto's SHA-256 functions, not EVP: EVP loads the default provider with every
// algorithm it has, which costs more than hashing a small medium, while these run the same
// assembly core (SHA instructions, AVX2 or SSSE3, whichever the processor has). They are
// deprecated in OpenSSL 3 but kept there.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include <stdexcept>

namespace nolvo::media {

struct Sha256::Context {
  SHA256_CTX ctx{};
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {
  if (SHA256_Init(&context_->ctx) != 1) throw std::runtime_error("SHA-256 is not available");
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, std::size_t size) {
  if (size == 0) return;
  if (SHA256_Update(&context_->ctx, data, size) != 1)
    throw std::runtime_error("SHA-256 update failed");
}

Sha256Digest Sha256::Final() {
  Sha256Digest digest{};
  if (SHA256_Final(digest.data(), &context_->ctx) != 1 || SHA256_Init(&context_->ctx) != 1)
    throw std::runtime_error("SHA-256 final failed");
  return digest;
}

Sha256Digest Sha256Of(std::string_view bytes) {
  Sha256 sha;
  sha.Update(bytes.data(), bytes.size());
  return sha.Final();
}

std::string ToHex(const Sha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(digest.size() * 2);
  for (const std::uint8_t b : digest) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool FromHex(std::string_view hex, Sha256Digest& digest) {
  if (hex.size() != digest.size() * 2) return false;
  for (std::size_t i = 0; i < digest.size(); ++i) {
    const int high = HexValue(hex[2 * i]), low = HexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    digest[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return true;
}

}  // namespace nolvo::media
