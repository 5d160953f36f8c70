#include "platform/byte_stream.h"

#include <algorithm>
#include <cstring>

namespace nolvo::platform {

void ByteStream::CopyFrom(ByteStream& source, std::int64_t count) {
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::int64_t>(count, 65536)));
  while (count > 0) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(count, buffer.size()));
    const std::size_t got = source.Read(buffer.data(), want);
    if (got == 0) throw EStreamError("Stream read error");
    WriteAll(buffer.data(), got);
    count -= static_cast<std::int64_t>(got);
  }
}

std::size_t MemoryStream::Read(void* buffer, std::size_t count) {
  if (pos_ >= data_.size()) return 0;
  const std::size_t n = std::min(count, data_.size() - pos_);
  std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

void MemoryStream::WriteAll(const void* buffer, std::size_t count) {
  if (count == 0) return;
  if (pos_ + count > data_.size()) data_.resize(pos_ + count);
  std::memcpy(data_.data() + pos_, buffer, count);
  pos_ += count;
}

namespace {
std::int64_t NewPosition(std::int64_t offset, SeekOrigin origin, std::int64_t pos,
                         std::int64_t size) {
  std::int64_t base = origin == SeekOrigin::soBeginning ? 0
                      : origin == SeekOrigin::soCurrent ? pos
                                                        : size;
  const std::int64_t next = base + offset;
  if (next < 0) throw EStreamError("Stream seek error");
  return next;
}
}  // namespace

std::int64_t MemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
  pos_ = static_cast<std::size_t>(
      NewPosition(offset, origin, static_cast<std::int64_t>(pos_), Size()));
  return static_cast<std::int64_t>(pos_);
}

std::int64_t NullStream::Seek(std::int64_t offset, SeekOrigin origin) {
  pos_ = static_cast<std::uint64_t>(
      NewPosition(offset, origin, static_cast<std::int64_t>(pos_), Size()));
  return static_cast<std::int64_t>(pos_);
}

}  // namespace nolvo::platform
