#include "archive/container/bounded_stream.h"

#include <algorithm>

namespace nolvo::container {

using platform::EStreamError;
using platform::SeekOrigin;

TBoundedStream::TBoundedStream(platform::ByteStream& base, std::int64_t length)
    : base_(base), start_(base.Position()), length_(std::max<std::int64_t>(length, 0)) {}

std::size_t TBoundedStream::Read(void* buffer, std::size_t count) {
  if (pos_ >= length_) return 0;
  const auto want = static_cast<std::size_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(count), length_ - pos_));
  // Another reader of the base stream may have moved it (a handler, for instance).
  if (base_.Position() != start_ + pos_) base_.Seek(start_ + pos_, SeekOrigin::soBeginning);
  const std::size_t got = base_.Read(buffer, want);
  pos_ += static_cast<std::int64_t>(got);
  return got;
}

void TBoundedStream::WriteAll(const void*, std::size_t) {
  throw EStreamError("Stream write error: archive data are read-only");
}

std::int64_t TBoundedStream::Seek(std::int64_t offset, SeekOrigin origin) {
  const std::int64_t base = origin == SeekOrigin::soBeginning ? 0
                            : origin == SeekOrigin::soCurrent ? pos_
                                                              : length_;
  const std::int64_t next = base + offset;
  if (next < 0) throw EStreamError("Stream seek error");
  pos_ = next;
  return pos_;
}

}  // namespace nolvo::container
