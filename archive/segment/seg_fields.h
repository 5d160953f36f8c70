#pragma once
// The four-letter ids that start the packed records of the segmented stream (their
// little-endian fields: platform/le_bytes.h).

#include <cstdint>
#include <cstring>

namespace nolvo::segment {

// Whether the record starts with the four id letters `id`.
inline bool HasId(const std::uint8_t* p, const char (&id)[5]) { return std::memcmp(p, id, 4) == 0; }
inline void PutId(std::uint8_t* p, const char (&id)[5]) { std::memcpy(p, id, 4); }

}  // namespace nolvo::segment
