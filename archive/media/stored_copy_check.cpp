#include "archive/media/stored_copy_check.h"

#include <vector>

#include "archive/container/entry_header.h"
#include "platform/file_ops.h"
#include "util/file_errors.h"

namespace nolvo::media {

namespace {

bool Stored(const container::TListedEntry& entry) {
  return entry.Info.Method == container::TCompressionMethod::coNone;
}

bool Checked(const container::TListedEntry& entry, std::int32_t key) {
  // A locked copy's sum cannot be told without the key.
  return Stored(entry) && !(entry.Info.Locked && key == 0);
}

}  // namespace

StoredCopyFaults BadStoredCopies(const platform::Machine& machine, const std::string& archiveFile,
                                 const container::TCompressedFileList& entries, std::int32_t key) {
  bool any = false;
  for (const auto& entry : entries) any = any || Stored(entry);
  if (!any) return {};
  platform::WinError error;
  const auto file =
      platform::OpenFileRead(machine, archiveFile, platform::ShareMode::shDenyWrite, error);
  if (!file) throw util::EFOpenError("Cannot open file " + archiveFile);
  return BadStoredCopies(*file, entries, key);
}

StoredCopyFaults BadStoredCopies(platform::ByteStream& archive,
                                 const container::TCompressedFileList& entries, std::int32_t key) {
  StoredCopyFaults bad;
  std::vector<std::uint8_t> buffer;
  for (const auto& entry : entries) {
    const auto& info = entry.Info;
    // The copy is written as it stands: its original size can only be its stored size. A
    // negative one is read as no size at all, which the format allows.
    if (Stored(entry) && info.OriginalSize >= 0 && info.OriginalSize != info.CompressedSize) {
      bad.emplace(info.EntryPosition, "its stored size differs from its original size");
      continue;
    }
    if (!Checked(entry, key)) continue;
    buffer.resize(64 * 1024);
    archive.Seek(info.EntryPosition + static_cast<std::int64_t>(container::kEntryHeaderSize) +
                     static_cast<std::int64_t>(entry.Name.size()),
                 platform::SeekOrigin::soBeginning);
    std::uint32_t sum = 0;
    std::int64_t left = info.CompressedSize;
    while (left > 0) {
      const auto want = static_cast<std::size_t>(
          std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size())));
      const std::size_t got = archive.Read(buffer.data(), want);
      if (got == 0) break;  // a listing never passes the end; a short file fails below
      for (std::size_t i = 0; i < got; ++i) sum += buffer[i];
      left -= static_cast<std::int64_t>(got);
    }
    const bool keyed = info.Locked && sum + static_cast<std::uint32_t>(key) == info.Checksum;
    if (left > 0 || (sum != info.Checksum && !keyed))
      bad.emplace(info.EntryPosition, "its stored bytes do not add up to its checksum");
  }
  return bad;
}

}  // namespace nolvo::media
