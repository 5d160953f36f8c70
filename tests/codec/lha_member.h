#pragma once
// A minimal reader and writer of LHA archive members (header levels 0, 1 and 2), for
// exchanging raw -lh5- streams with independent LHA tools in tests.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/le_bytes.h"

namespace nolvo::codec::test {

// CRC-16 as LHA uses it (polynomial 0xA001, reflected, initial value 0).
inline std::uint16_t LhaCrc16(const std::vector<std::uint8_t>& data) {
  std::uint16_t crc = 0;
  for (std::uint8_t b : data) {
    crc ^= b;
    for (int i = 0; i < 8; ++i)
      crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

struct LhaMember {
  std::string method;  // such as "-lh5-"
  int level = 0;
  std::uint32_t original_size = 0;
  std::uint16_t crc = 0;
  std::vector<std::uint8_t> stored;  // the raw compressed data
};

namespace detail {
inline std::uint32_t U16(const std::vector<std::uint8_t>& d, std::size_t at) {
  if (at + 2 > d.size()) throw std::runtime_error("LHA header cut short");
  return platform::GetUInt16(&d[at]);
}
inline std::uint32_t U32(const std::vector<std::uint8_t>& d, std::size_t at) {
  if (at + 4 > d.size()) throw std::runtime_error("LHA header cut short");
  return platform::GetUInt32(&d[at]);
}
inline void Put16(std::vector<std::uint8_t>& d, std::uint32_t v) {
  platform::AppendUInt16(d, static_cast<std::uint16_t>(v));
}
inline void Put32(std::vector<std::uint8_t>& d, std::uint32_t v) { platform::AppendUInt32(d, v); }
}  // namespace detail

// Reads the first member of an archive.
inline LhaMember ReadFirstLhaMember(const std::vector<std::uint8_t>& d) {
  using detail::U16;
  using detail::U32;
  if (d.size() < 22) throw std::runtime_error("LHA header cut short");
  LhaMember m;
  m.method.assign(d.begin() + 2, d.begin() + 7);
  std::uint32_t packed = U32(d, 7);
  m.original_size = U32(d, 11);
  m.level = d[20];
  std::size_t data_at = 0;
  if (m.level == 0 || m.level == 1) {
    const std::size_t base = d[0] + 2u;
    const std::size_t name_end = 22u + d[21];
    m.crc = static_cast<std::uint16_t>(U16(d, name_end));
    data_at = base;
    if (m.level == 1) {
      // Extended headers follow the base header and count towards the packed size.
      for (std::uint32_t next = U16(d, base - 2); next != 0;) {
        const std::size_t at = data_at;
        data_at += next;
        packed -= next;
        next = U16(d, at + next - 2);
      }
    }
  } else if (m.level == 2) {
    m.crc = static_cast<std::uint16_t>(U16(d, 21));
    data_at = U16(d, 0);
  } else {
    throw std::runtime_error("unknown LHA header level");
  }
  if (data_at + packed > d.size()) throw std::runtime_error("LHA member cut short");
  m.stored.assign(d.begin() + static_cast<std::ptrdiff_t>(data_at),
                  d.begin() + static_cast<std::ptrdiff_t>(data_at + packed));
  return m;
}

// An archive of one -lh5- member `name` holding `stored`, which expands to `original`.
inline std::vector<std::uint8_t> WriteLhaArchive(int level, const std::string& name,
                                                 const std::vector<std::uint8_t>& stored,
                                                 const std::vector<std::uint8_t>& original) {
  using detail::Put16;
  using detail::Put32;
  const std::uint32_t dos_time = 0x5A8A6000;  // 2025-04-10 12:00:00
  std::vector<std::uint8_t> h;
  if (level == 0) {
    std::vector<std::uint8_t> body;
    body.insert(body.end(), {'-', 'l', 'h', '5', '-'});
    Put32(body, static_cast<std::uint32_t>(stored.size()));
    Put32(body, static_cast<std::uint32_t>(original.size()));
    Put32(body, dos_time);
    body.push_back(0x20);  // archive attribute
    body.push_back(0);     // level
    body.push_back(static_cast<std::uint8_t>(name.size()));
    body.insert(body.end(), name.begin(), name.end());
    Put16(body, LhaCrc16(original));
    std::uint8_t sum = 0;
    for (std::uint8_t b : body) sum = static_cast<std::uint8_t>(sum + b);
    h.push_back(static_cast<std::uint8_t>(body.size()));
    h.push_back(sum);
    h.insert(h.end(), body.begin(), body.end());
  } else if (level == 2) {
    Put16(h, 0);  // total header size, set below
    h.insert(h.end(), {'-', 'l', 'h', '5', '-'});
    Put32(h, static_cast<std::uint32_t>(stored.size()));
    Put32(h, static_cast<std::uint32_t>(original.size()));
    Put32(h, 1744286400);  // Unix time
    h.push_back(0x20);
    h.push_back(2);
    Put16(h, LhaCrc16(original));
    h.push_back('U');
    // Extended headers: the common header (header CRC), then the file name.
    Put16(h, 5);
    h.push_back(0x00);
    const std::size_t crc_at = h.size();
    Put16(h, 0);
    Put16(h, static_cast<std::uint32_t>(3 + name.size()));
    h.push_back(0x01);
    h.insert(h.end(), name.begin(), name.end());
    Put16(h, 0);  // no more extended headers
    h[0] = static_cast<std::uint8_t>(h.size());
    h[1] = static_cast<std::uint8_t>(h.size() >> 8);
    const std::uint16_t header_crc = LhaCrc16(h);
    h[crc_at] = static_cast<std::uint8_t>(header_crc);
    h[crc_at + 1] = static_cast<std::uint8_t>(header_crc >> 8);
  } else {
    throw std::invalid_argument("level 0 or 2");
  }
  h.insert(h.end(), stored.begin(), stored.end());
  h.push_back(0);  // end of archive
  return h;
}

}  // namespace nolvo::codec::test
