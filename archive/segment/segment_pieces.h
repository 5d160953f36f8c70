#pragma once
// An archive read straight out of the segment files: the stretches of the files that
// hold its bytes, and a read-only stream over them. Nothing is joined; each stream opens
// the files it needs itself (one at a time), so several streams can read one archive at
// once.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/byte_stream.h"
#include "platform/host_file_stream.h"

namespace nolvo::segment {

// `Length` bytes of the host file `Host`, from byte `Offset` of the file on.
struct TSegmentPiece {
  std::filesystem::path Host;
  std::int64_t Offset = 0;
  std::int64_t Length = 0;
};

using TSegmentPieces = std::vector<TSegmentPiece>;

// The bytes of `pieces`, one after the other, as one seekable stream. Read gives what is
// there up to the end of the last piece; a piece whose file can no longer be opened or
// ends before the piece does raises ESegError "Stream read failed". Write raises.
class TSegmentPieceStream : public platform::ByteStream {
 public:
  explicit TSegmentPieceStream(std::shared_ptr<const TSegmentPieces> pieces);

  std::size_t Read(void* buffer, std::size_t count) override;
  void WriteAll(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, platform::SeekOrigin origin) override;
  std::int64_t Size() override { return size_; }

 private:
  // Makes piece `index` the open one, positioned `within` bytes into it.
  void Reach(std::size_t index, std::int64_t within);

  std::shared_ptr<const TSegmentPieces> pieces_;
  std::vector<std::int64_t> starts_;  // stream offset of each piece
  std::int64_t size_ = 0;
  std::int64_t pos_ = 0;
  std::size_t current_ = 0;                         // the piece `file_` belongs to
  std::unique_ptr<platform::HostFileStream> file_;  // null: none open
  std::int64_t filePos_ = -1;                       // where `file_` stands
};

}  // namespace nolvo::segment
