#pragma once
// A read-only window of `length` bytes of another stream, starting at its current
// position. A decoder or handler given an entry's data through it cannot read past the
// entry, whatever the data say.

#include "platform/byte_stream.h"

namespace nolvo::container {

class TBoundedStream : public platform::ByteStream {
 public:
  TBoundedStream(platform::ByteStream& base, std::int64_t length);

  std::size_t Read(void* buffer, std::size_t count) override;
  // Always throws EStreamError: the window is read-only.
  void WriteAll(const void* buffer, std::size_t count) override;
  // Positions are relative to the window's start; seeking before it throws EStreamError.
  std::int64_t Seek(std::int64_t offset, platform::SeekOrigin origin) override;
  std::int64_t Size() override { return length_; }

 private:
  platform::ByteStream& base_;
  std::int64_t start_;
  std::int64_t length_;
  std::int64_t pos_ = 0;
};

}  // namespace nolvo::container
