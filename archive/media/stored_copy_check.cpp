#include "archive/media/stored_copy_check.h"

#include <vector>

#include "archive/container/entry_header.h"
#include "platform/file_ops.h"
#include "util/file_errors.h"

namespace nolvo::media {

namespace {

bool Checked(const container::TListedEntry& entry, std::int32_t key) {
  // A locked copy cannot be told without the key.
  return entry.Info.Method == container::TCompressionMethod::coNone &&
         !(entry.Info.Locked && key == 0);
}

}  // namespace

std::set<std::int64_t> BadStoredCopies(const platform::Machine& machine,
                                       const std::string& archiveFile,
                                       const container::TCompressedFileList& entries,
                                       std::int32_t key) {
  bool any = false;
  for (const auto& entry : entries) any = any || Checked(entry, key);
  if (!any) return {};
  platform::WinError error;
  const auto file =
      platform::OpenFileRead(machine, archiveFile, platform::ShareMode::shDenyWrite, error);
  if (!file) throw util::EFOpenError("Cannot open file " + archiveFile);
  return BadStoredCopies(*file, entries, key);
}

std::set<std::int64_t> BadStoredCopies(platform::ByteStream& archive,
                                       const container::TCompressedFileList& entries,
                                       std::int32_t key) {
  std::set<std::int64_t> bad;
  std::vector<std::uint8_t> buffer;
  for (const auto& entry : entries) {
    const auto& info = entry.Info;
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
    if (left > 0 || (sum != info.Checksum && !keyed)) bad.insert(info.EntryPosition);
  }
  return bad;
}

}  // namespace nolvo::media
