#include "archive/container/listing.h"

#include "archive/container/entry_walk.h"

namespace nolvo::container {

TCompressedFileInfo MakeFileInfo(const TArchiveEntry& entry) {
  TCompressedFileInfo info;
  info.FileDate = entry.Header.FileDate;
  info.Attributes = entry.Header.Attributes;
  info.OriginalSize = entry.Header.OriginalSize;
  info.CompressedSize = entry.Header.CompressedSize;
  info.Method = entry.Header.Method;
  info.Checksum = entry.Header.Checksum;
  info.EntryPosition = entry.EntryPosition;
  info.Locked = entry.Header.Locked();
  return info;
}

void ListEntries(platform::ByteStream& archive, const TRecognizeEvent& on_recognize,
                 TCompressedFileList& list) {
  if (archive.Size() < kSmallestArchiveWithEntry) return;
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
