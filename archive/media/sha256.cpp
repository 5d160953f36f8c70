#include "archive/media/sha256.h"

// Nettle's SHA-256: the same digest as any other, with the processor's SHA instructions
// where it has them, and a library small enough to cost a short run next to nothing to load.
#include <nettle/sha2.h>

#include <stdexcept>

namespace nolvo::media {

struct Sha256::Context {
  sha256_ctx ctx{};
};

Sha256::Sha256() : context_(std::make_unique<Context>()) { sha256_init(&context_->ctx); }

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, std::size_t size) {
  if (size == 0) return;
  sha256_update(&context_->ctx, size, static_cast<const std::uint8_t*>(data));
}

Sha256Digest Sha256::Final() {
  Sha256Digest digest{};
  // Also starts the context over.
  sha256_digest(&context_->ctx, digest.size(), digest.data());
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
