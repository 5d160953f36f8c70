#pragma once
// Little-endian field access for the packed records of the archive format. Fields are
// decoded one at a time at their offsets; no struct is ever laid over the bytes.

#include <cstddef>
#include <cstdint>

namespace nolvo::container {

inline std::uint16_t GetUInt16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int16_t GetInt16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(GetUInt16(p));
}
inline std::uint32_t GetUInt32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int32_t GetInt32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(GetUInt32(p));
}

inline void PutUInt16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutUInt32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline void PutInt16(std::uint8_t* p, std::int16_t v) {
  PutUInt16(p, static_cast<std::uint16_t>(v));
}
inline void PutInt32(std::uint8_t* p, std::int32_t v) {
  PutUInt32(p, static_cast<std::uint32_t>(v));
}

}  // namespace nolvo::container
