#include "archive/media/segment_map.h"

#include <algorithm>
#include <filesystem>

#include "archive/segment/seg_names.h"
#include "platform/machine.h"

namespace nolvo::media {

namespace {
constexpr std::int64_t kIdRecordSize = 8;  // every segment starts with its identification
}  // namespace

void SegmentMap::ArchiveEnds(std::int64_t length, std::uint16_t segment, std::int64_t remaining) {
  length_ = length;
  end_ = segment;
  remaining_ = remaining;
}

std::uint16_t SegmentMap::NumberOf(std::int64_t offset) const {
  if (end_ == 0 || offset < 0 || offset >= length_) return 0;
  // Bytes of the archive from `offset` to its end, and of them those the segments from
  // `number` to the end hold.
  const std::int64_t after = length_ - offset;
  std::uint16_t number = end_;
  const std::int64_t size = sizeOf_(number);
  if (size < 0) return 0;
  std::int64_t held = std::max<std::int64_t>(0, size - remaining_ - kIdRecordSize);
  while (after > held) {
    if (--number == 0) return 0;
    const std::int64_t before = sizeOf_(number);
    if (before < 0) return 0;
    held += std::max<std::int64_t>(0, before - kIdRecordSize);
  }
  return number;
}

std::string SegmentMap::SegmentOf(std::int64_t offset) const {
  const std::uint16_t number = NumberOf(offset);
  return number ? nameOf_(number) : std::string();
}

std::string SegmentMap::Segments(std::int64_t from, std::int64_t to) const {
  const std::uint16_t first = NumberOf(from);
  const std::uint16_t last = to > from ? NumberOf(to - 1) : first;
  if (first == 0) return "";
  if (last == 0 || last == first) return nameOf_(first);
  return nameOf_(first) + "-" + nameOf_(last);
}

}  // namespace nolvo::media

namespace nolvo::media {

SegmentMap MachineSegmentMap(const platform::Machine& machine, const std::string& dir,
                             const std::string& baseName) {
  auto names = [dir, baseName](std::uint16_t n) {
    return segment::BuildSegmentNames(baseName, "", n, dir);
  };
  return SegmentMap(
      [&machine, names](std::uint16_t n) -> std::int64_t {
        const auto r = machine.Resolve(names(n).SegPath);
        std::error_code ec;
        const auto size = r.error.ok() && r.exists ? std::filesystem::file_size(r.host, ec) : 0;
        return r.error.ok() && r.exists && !ec ? static_cast<std::int64_t>(size) : -1;
      },
      [names](std::uint16_t n) { return names(n).SegName; });
}

}  // namespace nolvo::media
