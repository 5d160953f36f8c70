#include "archive/segment/seg_list_names.h"

#include <algorithm>

#include "archive/segment/seg_error.h"

namespace nolvo::segment {

std::string ListRecordName(const std::uint8_t* record, std::size_t size) {
  const auto* end = std::find(record, record + size, std::uint8_t{0});
  std::string name(reinterpret_cast<const char*>(record), static_cast<std::size_t>(end - record));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

ESegError TooManyListRecords() {
  return ESegError(ESegError::Kind::skInvalidLength,
                   "Invalid list file: more than " + std::to_string(kMaxListRecords) + " records");
}

TListFileNames::TListFileNames(std::int32_t recordLength)
    : width_(static_cast<std::size_t>(std::max(recordLength, 0))) {
  record_.reserve(width_);
}

void TListFileNames::WriteAll(const void* buffer, std::size_t count) {
  size_ += static_cast<std::int64_t>(count);
  if (width_ == 0) return;  // refused in Finish
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  while (count > 0) {
    const std::size_t n = std::min(count, width_ - record_.size());
    record_.insert(record_.end(), in, in + n);
    in += n;
    count -= n;
    if (record_.size() == width_) {
      if (static_cast<std::int64_t>(names_.size()) >= kMaxListRecords) throw TooManyListRecords();
      names_.push_back(ListRecordName(record_.data(), record_.size()));
      record_.clear();
    }
  }
}

std::int64_t TListFileNames::Seek(std::int64_t offset, platform::SeekOrigin origin) {
  if (offset != 0 && !(origin == platform::SeekOrigin::soBeginning && offset == size_))
    throw platform::EStreamError("Stream seek error");
  return size_;
}

std::vector<std::string> TListFileNames::Finish() {
  // Records of no width cannot divide a list file that holds anything.
  if (size_ > 0 && width_ == 0) throw InvalidLength("RecordLength", 0);
  if (!record_.empty()) names_.push_back(ListRecordName(record_.data(), record_.size()));
  record_.clear();
  return std::move(names_);
}

}  // namespace nolvo::segment
