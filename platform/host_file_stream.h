#pragma once
// A ByteStream over one open host file descriptor. The descriptor is closed when the
// stream is destroyed; Close() closes it early and reports a failed close.

#include <filesystem>

#include "platform/byte_stream.h"

namespace nolvo::platform {

class HostFileStream : public ByteStream {
 public:
  enum class Mode {
    mdRead,       // existing file, read only
    mdReadWrite,  // existing file, read and write
    mdCreate,     // create or replace (truncate), read and write
    mdCreateNew,  // create; fails when any entry of that name exists (links are not followed)
  };

  // Opens `path`; throws EStreamError naming the path (host spelling) on failure.
  HostFileStream(const std::filesystem::path& path, Mode mode);
  // Adopts `fd`, an open descriptor of `path`; the stream closes it.
  HostFileStream(const std::filesystem::path& path, int fd) : path_(path), fd_(fd) {}
  ~HostFileStream() override;
  HostFileStream(const HostFileStream&) = delete;
  HostFileStream& operator=(const HostFileStream&) = delete;

  std::size_t Read(void* buffer, std::size_t count) override;
  void WriteAll(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  std::int64_t Size() override;

  // Flushes and closes; throws EStreamError when the host reports a failed close.
  virtual void Close();
  int Descriptor() const { return fd_; }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

}  // namespace nolvo::platform
