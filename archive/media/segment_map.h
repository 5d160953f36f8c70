#pragma once
// Which segment files hold a stretch of an archive, worked out backwards from where the
// reader stood after the archive's last byte and the sizes of the segment files.

#include <cstdint>
#include <functional>
#include <string>

namespace nolvo::media {

class SegmentMap {
 public:
  // `sizeOf(n)`: the size of segment n's file, below 0 when unknown; `nameOf(n)`: its file
  // name (ANSI).
  SegmentMap(std::function<std::int64_t(std::uint16_t)> sizeOf,
             std::function<std::string(std::uint16_t)> nameOf)
      : sizeOf_(std::move(sizeOf)), nameOf_(std::move(nameOf)) {}

  // The archive just joined: its length, the segment the reader stands in after its last
  // byte, and the bytes of that segment not read yet.
  void ArchiveEnds(std::int64_t length, std::uint16_t segment, std::int64_t remaining);

  // The segment file holding byte `offset` of that archive, or "" when unknown.
  std::string SegmentOf(std::int64_t offset) const;
  // The segment files holding bytes [from, to) of it: "disk.003" or "disk.003-disk.004".
  std::string Segments(std::int64_t from, std::int64_t to) const;

 private:
  std::uint16_t NumberOf(std::int64_t offset) const;  // 0: unknown

  std::function<std::int64_t(std::uint16_t)> sizeOf_;
  std::function<std::string(std::uint16_t)> nameOf_;
  std::int64_t length_ = 0;
  std::uint16_t end_ = 0;
  std::int64_t remaining_ = 0;
};

}  // namespace nolvo::media

namespace nolvo::platform {
class Machine;
}

namespace nolvo::media {

// The map of the segment files <dir>\<baseName>.001, ... of `machine`.
SegmentMap MachineSegmentMap(const platform::Machine& machine, const std::string& dir,
                             const std::string& baseName);

}  // namespace nolvo::media
