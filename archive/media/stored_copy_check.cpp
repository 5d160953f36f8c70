#include "archive/media/stored_copy_check.h"

#include <vector>

#include "archive/container/entry_header.h"
#include "platform/file_ops.h"
#include "util/file_errors.h"

namespace nolvo::media {

std::set<std::int64_t> BadStoredCopies(const platform::Machine& machine,
                                       const std::string& archiveFile,
                                       const container::TCompressedFileList& entries,
                                       std::int32_t key) {
  std::set<std::int64_t> bad;
  std::uint32_t error = 0;
  std::unique_ptr<platform::HostFileStream> file;
  std::vector<std::uint8_t> buffer(64 * 1024);
  for (const auto& entry : entries) {
    const auto& info = entry.Info;
    if (info.Method != container::TCompressionMethod::coNone) continue;
    if (info.Locked && key == 0) continue;  // cannot be told without the key
    if (!file) {
      file = platform::OpenFileRead(machine, archiveFile, platform::ShareMode::shDenyWrite, error);
      if (!file) throw util::EFOpenError("Cannot open file " + archiveFile);
    }
    file->Seek(info.EntryPosition + static_cast<std::int64_t>(container::kEntryHeaderSize) +
                   static_cast<std::int64_t>(entry.Name.size()),
               platform::SeekOrigin::soBeginning);
    std::uint32_t sum = 0;
    std::int64_t left = info.CompressedSize;
    while (left > 0) {
      const auto want = static_cast<std::size_t>(
          std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size())));
      const std::size_t got = file->Read(buffer.data(), want);
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
