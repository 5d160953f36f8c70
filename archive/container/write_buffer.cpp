#include "archive/container/write_buffer.h"

#include <cstring>

namespace nolvo::container {

TWriteBuffer::TWriteBuffer(platform::ByteStream& base, std::size_t capacity)
    : base_(base),
      data_(new std::uint8_t[capacity > 0 ? capacity : 1]),
      capacity_(capacity > 0 ? capacity : 1) {}

std::size_t TWriteBuffer::Read(void* buffer, std::size_t count) {
  Flush();
  return base_.Read(buffer, count);
}

void TWriteBuffer::WriteAll(const void* buffer, std::size_t count) {
  if (count > capacity_ - fill_) {
    Flush();
    if (count >= capacity_) {
      base_.WriteAll(buffer, count);
      return;
    }
  }
  std::memcpy(data_.get() + fill_, buffer, count);
  fill_ += count;
}

std::int64_t TWriteBuffer::Seek(std::int64_t offset, platform::SeekOrigin origin) {
  Flush();
  return base_.Seek(offset, origin);
}

std::int64_t TWriteBuffer::Size() {
  Flush();
  return base_.Size();
}

void TWriteBuffer::Flush() {
  if (fill_ == 0) return;
  // Emptied first: a failed write is not repeated by a later flush.
  const std::size_t fill = fill_;
  fill_ = 0;
  base_.WriteAll(data_.get(), fill);
}

}  // namespace nolvo::container
