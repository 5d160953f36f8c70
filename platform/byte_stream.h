#pragma once
// The byte-stream contract every reader and writer of the system shares: read may
// return fewer bytes than asked, write-all raises on failure, streams are seekable.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform_error.h"

namespace nolvo::platform {

// Raised by a stream whose read, write or seek failed at the host.
class EStreamError : public EPlatformError {
 public:
  using EPlatformError::EPlatformError;
};

enum class SeekOrigin { soBeginning, soCurrent, soEnd };

class ByteStream {
 public:
  virtual ~ByteStream() = default;

  // Reads up to `count` bytes into `buffer`; returns how many arrived (0 at the end).
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Writes all `count` bytes or throws EStreamError.
  virtual void WriteAll(const void* buffer, std::size_t count) = 0;
  // Moves the position; returns the new position from the beginning. Throws EStreamError.
  virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
  virtual std::int64_t Size() = 0;

  std::int64_t Position() { return Seek(0, SeekOrigin::soCurrent); }
  // Copies exactly `count` bytes from `source` (from its current position) into this
  // stream. Throws EStreamError when the source ends early.
  void CopyFrom(ByteStream& source, std::int64_t count);
};

// A growable stream held in memory.
class MemoryStream : public ByteStream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> bytes) : data_(std::move(bytes)) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  void WriteAll(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }

  const std::vector<std::uint8_t>& Bytes() const { return data_; }
  std::vector<std::uint8_t>& Bytes() { return data_; }

 private:
  std::vector<std::uint8_t> data_;
  std::size_t pos_ = 0;
};

// Accepts and discards every byte (for checksum-only runs); its size grows with writes.
class NullStream : public ByteStream {
 public:
  std::size_t Read(void*, std::size_t) override { return 0; }
  void WriteAll(const void*, std::size_t count) override {
    size_ += count;
    pos_ = size_;
  }
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(size_); }

 private:
  std::uint64_t size_ = 0;
  std::uint64_t pos_ = 0;
};

}  // namespace nolvo::platform
