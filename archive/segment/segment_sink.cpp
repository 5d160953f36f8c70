#include "archive/segment/segment_sink.h"

#include <algorithm>
#include <system_error>

#include "archive/segment/seg_error.h"
#include "archive/segment/seg_id_header.h"
#include "archive/segment/seg_names.h"

namespace nolvo::segment {

TSegmentSink::TSegmentSink(std::filesystem::path dir, std::string baseName, std::int32_t segSize)
    : dir_(std::move(dir)), baseName_(std::move(baseName)), segSize_(NormaliseSegSize(segSize)) {}

TSegmentSink::~TSegmentSink() {
  if (finished_) return;
  current_.reset();
  std::error_code ec;
  for (const auto& file : files_) std::filesystem::remove(file, ec);
}

std::filesystem::path TSegmentSink::SegmentPath(std::uint32_t number) const {
  return dir_ / BuildSegmentNames(baseName_, "", number, "").SegName;
}

std::size_t TSegmentSink::Read(void*, std::size_t) {
  throw platform::EStreamError("Segment sink is write-only");
}

std::int64_t TSegmentSink::Seek(std::int64_t offset, platform::SeekOrigin origin) {
  if (offset != 0 || origin != platform::SeekOrigin::soCurrent)
    throw platform::EStreamError("Segment sink cannot seek");
  return position_;
}

void TSegmentSink::StartSegment() {
  if (current_) current_->Close();
  current_.reset();
  const std::uint32_t number = static_cast<std::uint32_t>(files_.size()) + 1;
  if (number > UINT16_MAX) throw ESegError(ESegError::Kind::skSegmentLimit);
  const auto path = SegmentPath(number);
  // Whatever is there (an old segment, a planted link) is replaced, never followed.
  std::error_code ec;
  std::filesystem::remove(path, ec);
  current_ =
      std::make_unique<platform::HostFileStream>(path, platform::HostFileStream::Mode::mdCreateNew);
  files_.push_back(path);
  TSegIdHeader id;
  id.SegmentNumber = static_cast<std::uint16_t>(number);
  const auto bytes = FormatSegIdHeader(id);
  current_->WriteAll(bytes.data(), bytes.size());
  room_ = segSize_ - static_cast<std::int64_t>(kSegIdHeaderSize);
}

void TSegmentSink::WriteAll(const void* buffer, std::size_t count) {
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  while (count > 0) {
    if (!current_ || room_ == 0) StartSegment();
    const auto n =
        static_cast<std::size_t>(std::min<std::int64_t>(room_, static_cast<std::int64_t>(count)));
    current_->WriteAll(in, n);
    in += n;
    count -= n;
    room_ -= static_cast<std::int64_t>(n);
    position_ += static_cast<std::int64_t>(n);
  }
}

const std::vector<std::filesystem::path>& TSegmentSink::Finish() {
  if (current_) current_->Close();
  current_.reset();
  finished_ = true;
  // Stale segments of an earlier, longer stream would be read as if they belonged here.
  std::error_code ec;
  for (std::uint32_t n = static_cast<std::uint32_t>(files_.size()) + 1; n <= UINT16_MAX; ++n) {
    const auto path = SegmentPath(n);
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec))) break;
    std::filesystem::remove(path, ec);
  }
  return files_;
}

}  // namespace nolvo::segment
