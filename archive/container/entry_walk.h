#pragma once
// The walk through an archive file: the archive header, then entry after entry. The walk
// checks every length against the file before it reads or allocates anything, and always
// continues at the entry's data start plus its CompressedSize, however much of the data a
// decoder consumed.

#include <cstdint>
#include <string>

#include "archive/container/archive_header.h"
#include "archive/container/compress_events.h"
#include "archive/container/entry_header.h"
#include "platform/byte_stream.h"

namespace nolvo::container {

// Reads `count` bytes or up to the end of the stream; returns how many arrived.
std::size_t ReadFully(platform::ByteStream& stream, void* buffer, std::size_t count);

struct TArchiveStart {
  TCompressHeader Header;
  TCompressionMethod Method = TCompressionMethod::coNone;  // what the method id was taken as
  bool Assumed = false;  // fewer than 21 bytes remained: nothing was read, no entry follows
};

// Reads the archive header at the stream's position. When fewer than 21 bytes remain,
// nothing is read and the header of a new archive is assumed. Throws EInvalidHeader,
// EInvalidHeaderArchiveType, or EUnrecognizedCompressionMethod when the id is none of the
// five and `on_recognize` (if set) does not accept it as coCustom.
TArchiveStart ReadArchiveHeader(platform::ByteStream& archive, const TRecognizeEvent& on_recognize);

struct TArchiveEntry {
  TCompressEntryHeader Header;
  std::string Name;
  std::int64_t EntryPosition = 0;  // offset of the entry header
  std::int64_t DataStart = 0;      // offset of the first stored byte

  std::int64_t DataEnd() const { return DataStart + Header.CompressedSize; }
};

class TEntryWalker {
 public:
  // `archive` stands at the first entry header; the walker reads from there.
  explicit TEntryWalker(platform::ByteStream& archive);

  // Reads the next entry header and name and leaves the archive at the entry's first data
  // byte. Returns false when the file ends exactly where the entry would start. Throws
  // EDamagedArchive when the file ends inside the header, the name length or CompressedSize
  // is negative, or the name or the data run past the end of the file; with `tail_may_end`
  // (the entries passed add up to the archive's TotalSize, where a reader stops) such a
  // tail ends the archive instead and Next returns false.
  bool Next(TArchiveEntry& entry, bool tail_may_end = false);

  // Positions the archive at the first data byte of `entry` (the last one Next returned).
  void SeekToData(const TArchiveEntry& entry);

 private:
  platform::ByteStream& archive_;
  std::int64_t size_;
  std::int64_t next_;  // where the next entry header starts
};

}  // namespace nolvo::container
