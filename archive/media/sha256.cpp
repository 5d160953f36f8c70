#include "archive/media/sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace nolvo::media {

struct Sha256::Context {
  EVP_MD_CTX* ctx = nullptr;
  ~Context() { EVP_MD_CTX_free(ctx); }
};

namespace {

void Start(EVP_MD_CTX* ctx) {
  if (EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("SHA-256 is not available");
}

}  // namespace

Sha256::Sha256() : context_(std::make_unique<Context>()) {
  context_->ctx = EVP_MD_CTX_new();
  if (!context_->ctx) throw std::runtime_error("SHA-256 is not available");
  Start(context_->ctx);
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, std::size_t size) {
  if (size == 0) return;
  if (EVP_DigestUpdate(context_->ctx, data, size) != 1)
    throw std::runtime_error("SHA-256 update failed");
}

Sha256Digest Sha256::Final() {
  Sha256Digest digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context_->ctx, digest.data(), &length) != 1 || length != digest.size())
    throw std::runtime_error("SHA-256 final failed");
  Start(context_->ctx);
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
