#include "archive/container/compression_method.h"

#include <array>

namespace nolvo::container {

namespace {
constexpr std::array<const char*, 5> kMethodIds = {"NON", "RLE", "LZH", "CUS", "LH5"};
}

std::string MethodIdText(TCompressionMethod method) {
  const auto ordinal = static_cast<std::size_t>(method);
  return ordinal < kMethodIds.size() ? kMethodIds[ordinal] : "";
}

std::optional<TCompressionMethod> MethodFromId(const std::string& id) {
  for (std::size_t i = 0; i < kMethodIds.size(); ++i) {
    if (id == kMethodIds[i]) return static_cast<TCompressionMethod>(i);
  }
  return std::nullopt;
}

bool IsCodecMethod(TCompressionMethod method) {
  return method == TCompressionMethod::coRLE || method == TCompressionMethod::coLZH ||
         method == TCompressionMethod::coLZH5;
}

}  // namespace nolvo::container
