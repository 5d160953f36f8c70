#pragma once
// Writing a logical stream cut into segment files: <dir>/<base>.001, .002, ... each
// SegSize bytes long (the last one shorter), each starting with its TSegIdHeader. A
// segment file is created only when its first stream byte arrives, so a stream that ends
// on a boundary leaves no empty segment behind.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_stream.h"
#include "platform/host_file_stream.h"

namespace nolvo::segment {

class TSegmentSink : public platform::ByteStream {
 public:
  // `segSize` is normalised as the SegSize setter does (at least 16384). Nothing is
  // created yet.
  TSegmentSink(std::filesystem::path dir, std::string baseName, std::int32_t segSize);
  // Without Finish() (an error passed), every segment file written so far is removed.
  ~TSegmentSink() override;
  TSegmentSink(const TSegmentSink&) = delete;
  TSegmentSink& operator=(const TSegmentSink&) = delete;

  // Always throws EStreamError: the sink is write-only.
  std::size_t Read(void* buffer, std::size_t count) override;
  // Throws EStreamError when a segment file cannot be created or written, ESegError when
  // the stream would need a segment after 65535.
  void WriteAll(const void* buffer, std::size_t count) override;
  // Only the current position can be asked for (Seek(0, soCurrent)).
  std::int64_t Seek(std::int64_t offset, platform::SeekOrigin origin) override;
  std::int64_t Size() override { return position_; }

  // Closes the last segment file and removes any older segment files of the same base
  // name that follow it (from an earlier, longer stream). Returns the files written.
  const std::vector<std::filesystem::path>& Finish();

  const std::vector<std::filesystem::path>& Files() const { return files_; }
  std::int32_t SegSize() const { return segSize_; }

 private:
  void StartSegment();
  std::filesystem::path SegmentPath(std::uint32_t number) const;

  std::filesystem::path dir_;
  std::string baseName_;
  std::int32_t segSize_;
  std::unique_ptr<platform::HostFileStream> current_;
  std::int64_t room_ = 0;      // bytes the current segment file can still take
  std::int64_t position_ = 0;  // bytes of logical stream written
  std::vector<std::filesystem::path> files_;
  bool finished_ = false;
};

}  // namespace nolvo::segment
