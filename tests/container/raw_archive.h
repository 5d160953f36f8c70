#pragma once
// Hand-assembled archive bytes for the container tests, written byte by byte here (not
// through the component's own record code) so a wrong field offset shows up.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nolvo::container::raw {

struct RawEntry {
  std::string name;
  std::vector<std::uint8_t> data;               // the stored bytes
  std::optional<std::int32_t> original_size;    // unset: data.size()
  std::optional<std::int32_t> compressed_size;  // unset: data.size()
  std::optional<std::int16_t> name_length;      // unset: name.size()
  std::uint8_t method = 0;
  std::uint32_t checksum = 0;
  std::int32_t lock_level = 0;
  std::int32_t file_date = 0;
  std::int16_t attributes = 0x20;
};

inline void Put(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline std::vector<std::uint8_t> RawHeader(const std::string& id = "LH5", std::int32_t total = 0,
                                           std::uint8_t type = 1) {
  std::vector<std::uint8_t> out = {'V', 'E', 'L', 'K', 0x1A};
  for (int i = 0; i < 3; ++i) out.push_back(i < static_cast<int>(id.size()) ? id[i] : 0);
  Put(out, static_cast<std::uint32_t>(total), 4);
  out.push_back(type);
  Put(out, 0, 8);
  return out;
}

inline void AppendEntry(std::vector<std::uint8_t>& out, const RawEntry& e) {
  const auto size = static_cast<std::int32_t>(e.data.size());
  Put(out,
      static_cast<std::uint16_t>(e.name_length.value_or(static_cast<std::int16_t>(e.name.size()))),
      2);
  Put(out, static_cast<std::uint32_t>(e.file_date), 4);
  Put(out, static_cast<std::uint16_t>(e.attributes), 2);
  Put(out, static_cast<std::uint32_t>(e.original_size.value_or(size)), 4);
  Put(out, static_cast<std::uint32_t>(e.compressed_size.value_or(size)), 4);
  out.push_back(e.method);
  Put(out, e.checksum, 4);
  Put(out, static_cast<std::uint32_t>(e.lock_level), 4);
  out.insert(out.end(), e.name.begin(), e.name.end());
  out.insert(out.end(), e.data.begin(), e.data.end());
}

// A stored (coNone) entry holding `text`, its checksum the byte sum.
inline RawEntry StoredEntry(const std::string& name, const std::string& text) {
  RawEntry e;
  e.name = name;
  e.data.assign(text.begin(), text.end());
  for (unsigned char c : text) e.checksum += c;
  return e;
}

inline std::vector<std::uint8_t> RawArchive(const std::vector<RawEntry>& entries,
                                            const std::string& id = "LH5") {
  std::int64_t total = 0;
  for (const auto& e : entries) {
    total += e.original_size.value_or(static_cast<std::int32_t>(e.data.size()));
  }
  auto out = RawHeader(id, static_cast<std::int32_t>(total));
  for (const auto& e : entries) AppendEntry(out, e);
  return out;
}

}  // namespace nolvo::container::raw
