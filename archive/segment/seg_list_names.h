#pragma once
// The list file of a scan record cut into stored names: records of RecordLength bytes
// (the last one may be shorter), each read up to its first zero byte with trailing spaces
// removed; an empty record gives an empty name.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/segment/seg_error.h"
#include "platform/byte_stream.h"

namespace nolvo::segment {

// The name one record holds.
std::string ListRecordName(const std::uint8_t* record, std::size_t size);

// The most records one list file may hold: far more files than any archive carries, while
// a list archive of a few bytes that expands to millions of tiny records is refused as
// damaged before its names exhaust memory.
inline constexpr std::int64_t kMaxListRecords = 1'000'000;
// The invalid-length ESegError for a list file of more records than that.
ESegError TooManyListRecords();

// A write-only stream that receives a list file as it is expanded and keeps only the
// names, so that the file itself is never stored. Read gives nothing; Seek only tells the
// position (the bytes received).
class TListFileNames : public platform::ByteStream {
 public:
  // `recordLength`: 0 to 8192 (checked by the scan record's reader).
  explicit TListFileNames(std::int32_t recordLength);

  std::size_t Read(void*, std::size_t) override { return 0; }
  void WriteAll(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, platform::SeekOrigin origin) override;
  std::int64_t Size() override { return size_; }

  // The names of every record received, the last shorter one included. Throws the
  // invalid-length ESegError for RecordLength 0 when any byte arrived. Receiving more than
  // kMaxListRecords records throws TooManyListRecords.
  std::vector<std::string> Finish();

 private:
  std::size_t width_;
  std::vector<std::uint8_t> record_;  // the record being received
  std::vector<std::string> names_;
  std::int64_t size_ = 0;
};

}  // namespace nolvo::segment
