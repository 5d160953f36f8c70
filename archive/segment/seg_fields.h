#pragma once
// Little-endian field access for the packed records of the segmented stream. Records are
// decoded field by field at their offsets; no struct is laid over the bytes.

#include <cstdint>
#include <cstring>

namespace nolvo::segment {

inline std::uint16_t GetWord(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int32_t GetInt32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) |
                                   (static_cast<std::uint32_t>(p[1]) << 8) |
                                   (static_cast<std::uint32_t>(p[2]) << 16) |
                                   (static_cast<std::uint32_t>(p[3]) << 24));
}
inline void PutWord(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutInt32(std::uint8_t* p, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
// Whether the record starts with the four id letters `id`.
inline bool HasId(const std::uint8_t* p, const char (&id)[5]) {
  return std::memcmp(p, id, 4) == 0;
}
inline void PutId(std::uint8_t* p, const char (&id)[5]) { std::memcpy(p, id, 4); }

}  // namespace nolvo::segment
