// Building an archive file from files of the machine.

#include "archive/container/archive_writer.h"
#include "archive/container/compress.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "util/file_errors.h"

namespace nolvo::container {

namespace {

// The attribute bits an archive records for a file.
constexpr std::uint32_t kStoredAttributes =
    platform::kFileAttributeReadonly | platform::kFileAttributeHidden |
    platform::kFileAttributeSystem | platform::kFileAttributeArchive;

std::int32_t FileDateOf(const platform::Machine& machine, const std::string& path) {
  std::uint16_t date = 0;
  std::uint16_t time = 0;
  if (!platform::GetFileDosTime(machine, path, date, time).ok()) return 0;
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(date) << 16) | time);
}

std::int16_t AttributesOf(const platform::Machine& machine, const std::string& path) {
  const std::uint32_t attributes = platform::GetFileAttributes(machine, path);
  if (attributes == platform::kInvalidFileAttributes) return platform::kFileAttributeArchive;
  return static_cast<std::int16_t>(attributes & kStoredAttributes);
}

}  // namespace

TCompressedFileList TCompress::CompressArchiveEntries(const std::string& FileName,
                                                      const std::vector<TArchiveSource>& Files,
                                                      TCompressionMethod ArchiveMethod) {
  platform::WinError error;
  auto archive = platform::CreateFileAlways(machine_, FileName, error);
  if (!archive) throw util::EFCreateError("Cannot create file " + FileName);

  TWriterSettings settings;
  settings.Codec.OnShowProgress = OnShowProgress;
  settings.Codec.Key = key_;
  settings.Codec.OnYield = OnYield;
  settings.Codec.SizeMargin = size_margin_;
  settings.Codec.Threads = threads_;
  settings.OnCompress = OnCompress;
  settings.ArchiveMethod = ArchiveMethod;

  TCompressedFileList entries;
  try {
    TArchiveWriter writer(*archive, settings);
    // Empty files go first: a reader stops once the entries it has passed add up to the
    // archive's total, so an empty file after the last byte counted would never be written.
    std::vector<const TArchiveSource*> later;
    const auto add = [&](const TArchiveSource& file, bool empty_only) {
      auto source =
          platform::OpenFileRead(machine_, file.FileName, platform::ShareMode::shDenyWrite, error);
      if (!source) throw util::EFOpenError("Cannot open file " + file.FileName);
      if (empty_only && source->Size() != 0) {
        later.push_back(&file);
        return;
      }
      const TCompressedFileInfo info = writer.AddEntry(
          file.StoredName, *source, source->Size(), file.Method,
          FileDateOf(machine_, file.FileName), AttributesOf(machine_, file.FileName));
      entries.push_back({file.StoredName, info});
    };
    for (const TArchiveSource& file : Files) add(file, true);
    for (const TArchiveSource* file : later) add(*file, false);
    writer.Finish();
    archive->Close();
  } catch (...) {
    archive.reset();
    // The partial archive goes if it can; the failure that stopped the build is the one
    // reported.
    static_cast<void>(platform::DeleteFile(machine_, FileName));
    throw;
  }
  return entries;
}

}  // namespace nolvo::container
