#include "archive/segment/segment_pieces.h"

#include <algorithm>

#include "archive/segment/seg_error.h"

namespace nolvo::segment {

TSegmentPieceStream::TSegmentPieceStream(std::shared_ptr<const TSegmentPieces> pieces)
    : pieces_(std::move(pieces)) {
  starts_.reserve(pieces_->size());
  for (const TSegmentPiece& piece : *pieces_) {
    starts_.push_back(size_);
    size_ += piece.Length;
  }
}

void TSegmentPieceStream::Reach(std::size_t index, std::int64_t within) {
  const TSegmentPiece& piece = (*pieces_)[index];
  if (!file_ || current_ != index) {
    file_.reset();
    try {
      file_ = std::make_unique<platform::HostFileStream>(piece.Host,
                                                         platform::HostFileStream::Mode::mdRead);
    } catch (const platform::EStreamError&) {
      throw ESegError(ESegError::Kind::skReadFailed);
    }
    current_ = index;
    filePos_ = -1;
  }
  const std::int64_t at = piece.Offset + within;
  if (filePos_ != at) filePos_ = file_->Seek(at, platform::SeekOrigin::soBeginning);
}

std::size_t TSegmentPieceStream::Read(void* buffer, std::size_t count) {
  if (count == 0 || pos_ >= size_) return 0;
  // The piece that holds the position: the last one to start at or before it.
  std::size_t index =
      current_ < starts_.size() && starts_[current_] <= pos_ &&
              pos_ < starts_[current_] + (*pieces_)[current_].Length
          ? current_
          : static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), pos_) -
                                     starts_.begin() - 1);
  const std::int64_t within = pos_ - starts_[index];
  const std::int64_t left = (*pieces_)[index].Length - within;
  Reach(index, within);
  const auto want = static_cast<std::size_t>(std::min<std::int64_t>(left, count));
  const std::size_t got = file_->Read(buffer, want);
  // The file ends before the piece does: it changed since the pieces were taken.
  if (got == 0) throw ESegError(ESegError::Kind::skReadFailed);
  filePos_ += static_cast<std::int64_t>(got);
  pos_ += static_cast<std::int64_t>(got);
  return got;
}

void TSegmentPieceStream::WriteAll(const void*, std::size_t) {
  throw platform::EStreamError("Stream write error");
}

std::int64_t TSegmentPieceStream::Seek(std::int64_t offset, platform::SeekOrigin origin) {
  const std::int64_t base = origin == platform::SeekOrigin::soBeginning ? 0
                            : origin == platform::SeekOrigin::soCurrent ? pos_
                                                                        : size_;
  if (base + offset < 0) throw platform::EStreamError("Stream seek error");
  pos_ = base + offset;
  return pos_;
}

}  // namespace nolvo::segment
