#include "archive/segment/segment_span.h"

#include <algorithm>

#include "archive/segment/seg_error.h"
#include "archive/segment/seg_id_header.h"

namespace nolvo::segment {

TSegmentSpan::TSegmentSpan(OpenFn open, DoneFn done, PumpFn pump)
    : open_(std::move(open)), done_(std::move(done)), pump_(std::move(pump)) {}

void TSegmentSpan::Open(std::uint16_t number) {
  Close();
  TOpenedSegment opened = open_(number);
  stream_ = std::move(opened.Stream);
  host_ = std::move(opened.Host);
  number_ = number;
  size_ = opened.Size;
  remaining_ = opened.Size;

  // The identification record is read again from the stream that stays open.
  TSegIdBytes bytes{};
  std::size_t got = 0;
  while (got < bytes.size()) {
    const std::size_t n = stream_->Read(bytes.data() + got, bytes.size() - got);
    if (n == 0) break;
    got += n;
  }
  if (got < bytes.size() || !ParseSegIdHeader(bytes)) {
    Close();
    throw ESegError(ESegError::Kind::skInvalidSegmentId);
  }
  remaining_ = std::max<std::int64_t>(0, remaining_ - static_cast<std::int64_t>(kSegIdHeaderSize));
}

void TSegmentSpan::Close() {
  stream_.reset();
  remaining_ = 0;
}

void TSegmentSpan::NextSegment() {
  const std::uint16_t finished = number_;
  Close();
  if (done_) done_(finished);
  if (finished == UINT16_MAX) throw ESegError(ESegError::Kind::skSegmentLimit);
  Open(static_cast<std::uint16_t>(finished + 1));
}

std::size_t TSegmentSpan::ReadBlock(std::uint8_t* buffer, std::size_t count) {
  // A segment that holds nothing after its identification record gives no byte: the
  // next one is opened, as many times as it takes.
  while (!stream_ || remaining_ <= 0) NextSegment();
  const auto want = static_cast<std::size_t>(std::min<std::int64_t>(
      {static_cast<std::int64_t>(kSegBlockSize), static_cast<std::int64_t>(count), remaining_}));
  const std::size_t got = stream_->Read(buffer, want);
  // A file that ends before its recorded size would otherwise be asked forever.
  if (got == 0) throw ESegError(ESegError::Kind::skReadFailed);
  remaining_ -= static_cast<std::int64_t>(got);
  if (pump_) pump_();
  return got;
}

void TSegmentSpan::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  while (count > 0) {
    const std::size_t got = ReadBlock(out, count);
    out += got;
    count -= got;
  }
}

TSegmentPieces TSegmentSpan::Pass(std::int64_t count,
                                  const std::function<void(std::int64_t passed)>& progress) {
  TSegmentPieces pieces;
  std::int64_t passed = 0;
  while (passed < count) {
    while (!stream_ || remaining_ <= 0) NextSegment();
    const std::int64_t n = std::min(count - passed, remaining_);
    pieces.push_back({host_, size_ - remaining_, n});
    // The open stream keeps in step, so that a later Read goes on from here.
    stream_->Seek(n, platform::SeekOrigin::soCurrent);
    remaining_ -= n;
    passed += n;
    if (pump_) pump_();
    if (progress) progress(passed);
  }
  return pieces;
}

void TSegmentSpan::Skip(std::int64_t count, std::uint8_t* buffer) {
  CopyTo(nullptr, count, buffer, {});
}

void TSegmentSpan::CopyTo(platform::ByteStream& dest, std::int64_t count, std::uint8_t* buffer,
                          const std::function<void(std::int64_t copied)>& progress) {
  CopyTo(&dest, count, buffer, progress);
}

void TSegmentSpan::CopyTo(platform::ByteStream* dest, std::int64_t count, std::uint8_t* buffer,
                          const std::function<void(std::int64_t copied)>& progress) {
  // Whole blocks of up to 8192 bytes, each read across segment ends as needed.
  std::int64_t copied = 0;
  while (copied < count) {
    const auto want = static_cast<std::size_t>(
        std::min<std::int64_t>(count - copied, static_cast<std::int64_t>(kSegBlockSize)));
    Read(buffer, want);
    if (dest) dest->WriteAll(buffer, want);
    copied += static_cast<std::int64_t>(want);
    if (progress) progress(copied);
  }
}

}  // namespace nolvo::segment
