#pragma once
// Little-endian integers in packed byte formats: read and written one field at a time at
// its offset (no struct is ever laid over the bytes), or appended to a growing buffer.

#include <cstdint>
#include <string>
#include <vector>

namespace nolvo::platform {

inline std::uint16_t GetUInt16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetUInt32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t GetUInt64(const std::uint8_t* p) {
  return GetUInt32(p) | (static_cast<std::uint64_t>(GetUInt32(p + 4)) << 32);
}
inline std::int16_t GetInt16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(GetUInt16(p));
}
inline std::int32_t GetInt32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(GetUInt32(p));
}
// The same over text buffers holding bytes.
inline std::uint16_t GetUInt16(const char* p) {
  return GetUInt16(reinterpret_cast<const std::uint8_t*>(p));
}
inline std::uint32_t GetUInt32(const char* p) {
  return GetUInt32(reinterpret_cast<const std::uint8_t*>(p));
}

inline void PutUInt16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutUInt32(std::uint8_t* p, std::uint32_t v) {
  PutUInt16(p, static_cast<std::uint16_t>(v));
  PutUInt16(p + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void PutUInt64(std::uint8_t* p, std::uint64_t v) {
  PutUInt32(p, static_cast<std::uint32_t>(v));
  PutUInt32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
inline void PutInt16(std::uint8_t* p, std::int16_t v) {
  PutUInt16(p, static_cast<std::uint16_t>(v));
}
inline void PutInt32(std::uint8_t* p, std::int32_t v) {
  PutUInt32(p, static_cast<std::uint32_t>(v));
}

// Appends the bytes of `v` to `out` (a std::string or a byte vector).
template <class Buffer>
void AppendUInt16(Buffer& out, std::uint16_t v) {
  using Byte = typename Buffer::value_type;
  out.push_back(static_cast<Byte>(v & 0xFF));
  out.push_back(static_cast<Byte>(v >> 8));
}
template <class Buffer>
void AppendUInt32(Buffer& out, std::uint32_t v) {
  AppendUInt16(out, static_cast<std::uint16_t>(v));
  AppendUInt16(out, static_cast<std::uint16_t>(v >> 16));
}
template <class Buffer>
void AppendUInt64(Buffer& out, std::uint64_t v) {
  AppendUInt32(out, static_cast<std::uint32_t>(v));
  AppendUInt32(out, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace nolvo::platform
