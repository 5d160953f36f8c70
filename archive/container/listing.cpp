#include "archive/container/listing.h"

#include "archive/container/compress_errors.h"
#include "archive/container/entry_walk.h"

namespace nolvo::container {

TCompressedFileInfo MakeFileInfo(const TCompressEntryHeader& header, std::int64_t entryPosition) {
  TCompressedFileInfo info;
  info.FileDate = header.FileDate;
  info.Attributes = header.Attributes;
  info.OriginalSize = header.OriginalSize;
  info.CompressedSize = header.CompressedSize;
  info.Method = header.Method;
  info.Checksum = header.Checksum;
  info.EntryPosition = entryPosition;
  info.Locked = header.Locked();
  return info;
}

TCompressedFileInfo MakeFileInfo(const TArchiveEntry& entry) {
  return MakeFileInfo(entry.Header, entry.EntryPosition);
}

void CheckShortArchive(platform::ByteStream& archive, const TRecognizeEvent& on_recognize) {
  constexpr std::int64_t kArchiveHeaderSize = 21;
  if (archive.Size() <= kArchiveHeaderSize) return;  // no entry starts
  archive.Seek(0, platform::SeekOrigin::soBeginning);
  TArchiveStart start;
  try {
    start = ReadArchiveHeader(archive, on_recognize);
  } catch (const std::exception&) {
    return;  // not examined further, as before
  }
  // Bytes follow the header, too few for an entry header, and the header promises entries.
  if (start.Header.TotalSize > 0) throw EDamagedArchive(EDamagedArchive::Reason::kShortEntryHeader);
}

void ListEntries(platform::ByteStream& archive, const TRecognizeEvent& on_recognize,
                 TCompressedFileList& list) {
  if (archive.Size() < kSmallestArchiveWithEntry) {
    CheckShortArchive(archive, on_recognize);
    return;
  }
  archive.Seek(0, platform::SeekOrigin::soBeginning);
  const TArchiveStart start = ReadArchiveHeader(archive, on_recognize);
  TEntryWalker walker(archive);
  TArchiveEntry entry;
  std::int64_t passed = 0;
  while (walker.Next(entry, passed >= start.Header.TotalSize)) {
    list.push_back({entry.Name, MakeFileInfo(entry)});
    passed += entry.Header.OriginalSize;
  }
}

}  // namespace nolvo::container
