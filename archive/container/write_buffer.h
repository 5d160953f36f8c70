#pragma once
// A stream that gathers small writes into large ones before they reach another stream.
// An expanding codec hands its output over in 8192-byte pieces; on a host file each
// piece would be one system call. Reads, seeks and sizes first hand the gathered bytes
// on, so that the stream behaves as the one below it.

#include <cstdint>
#include <memory>

#include "platform/byte_stream.h"

namespace nolvo::container {

class TWriteBuffer : public platform::ByteStream {
 public:
  TWriteBuffer(platform::ByteStream& base, std::size_t capacity);
  TWriteBuffer(const TWriteBuffer&) = delete;
  TWriteBuffer& operator=(const TWriteBuffer&) = delete;

  std::size_t Read(void* buffer, std::size_t count) override;
  // Gathers `count` bytes; writes to the stream below only when the buffer is full.
  // A piece at least as large as the buffer goes down at once.
  void WriteAll(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, platform::SeekOrigin origin) override;
  std::int64_t Size() override;

  // Writes what is gathered to the stream below. Bytes not yet flushed are dropped when
  // the buffer goes away: the owner flushes once the output is complete (or, after a
  // failure, when the partial output should stay).
  void Flush();

 private:
  platform::ByteStream& base_;
  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t capacity_;
  std::size_t fill_ = 0;
};

}  // namespace nolvo::container
