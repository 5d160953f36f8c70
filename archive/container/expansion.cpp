// The expansion driver: entry after entry, selection, output path, OnCheckFile, free
// space, directories, the output file with its date and attributes, and the TotalSize
// count that ends the archive.

#include <unordered_set>

#include "archive/container/compress.h"
#include "archive/container/compress_errors.h"
#include "archive/container/compress_files.h"
#include "archive/container/entry_walk.h"
#include "archive/container/expand_entry.h"
#include "archive/container/listing.h"
#include "archive/container/write_buffer.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "util/file_errors.h"

namespace nolvo::container {

namespace {

// The output of an entry reaches its file in pieces of this size.
constexpr std::size_t kOutputBufferSize = 256 * 1024;

void SetAttributes(const platform::Machine& machine, const std::string& path,
                   std::int16_t attributes) {
  // Applied as they stand; a failure here is not reported, like the rest of the clean-up.
  platform::SetFileAttributes(machine, path, static_cast<std::uint16_t>(attributes));
}

}  // namespace

void TCompress::ExpandArchiveEntries(const std::string& FileName, std::vector<std::string>* List) {
  const auto archive = OpenArchiveFile(machine_, FileName);
  ExpandFrom(*archive, List);
}

void TCompress::ExpandFrom(platform::ByteStream& archive, std::vector<std::string>* List) {
  std::vector<std::string> written;
  const TArchiveStart start = ReadArchiveHeader(archive, OnRecognize);

  std::unordered_set<std::string> selection;
  if (List) {
    for (const std::string& name : *List) selection.insert(AsciiUpper(name));
  }

  if (!start.Assumed) {
    const std::int64_t total = start.Header.TotalSize;
    std::int64_t count = 0;
    TEntryWalker walker(archive);
    TArchiveEntry entry;
    // Once the entries passed add up to TotalSize the archive ends, whatever follows
    // (empty entries and damaged tails alike).
    while (count < total && walker.Next(entry)) {
      if (List && selection.count(AsciiUpper(entry.Name)) == 0) {
        count += entry.Header.OriginalSize;
        continue;
      }

      if (OnEntrySelected) OnEntrySelected({entry.Name, MakeFileInfo(entry)});
      std::string path =
          !entry.Name.empty() && entry.Name[0] == '\\' ? entry.Name : target_path_ + entry.Name;
      if (OnCheckFile) {
        OnCheckFile(path, TCProcessMode::pmExpanding);
        if (path.empty()) continue;
        if (path == "*") break;
      }
      if (CheckFreeSpace(path) < entry.Header.OriginalSize) throw EInsufficientDiskSpace(path);
      if (make_directories_) MakeDirectoryPath(DirectoryPart(path));

      if (!ExpandToFile(entry, archive, path, start.Header.MethodId)) continue;
      written.push_back(path);
      count += entry.Header.OriginalSize;
    }
  }

  if (List) *List = std::move(written);
}

bool TCompress::ExpandToFile(const TArchiveEntry& entry, platform::ByteStream& archive,
                             const std::string& path, const std::string& compress_id) {
  std::uint32_t error = 0;
  auto out = platform::CreateFileAlways(machine_, path, error);
  if (!out) {
    if (exception_on_file_error_) throw util::EFCreateError("Cannot create file " + path);
    return false;
  }

  TExpandSettings settings;
  settings.Codec.OnShowProgress = OnShowProgress;
  settings.Codec.Key = key_;
  settings.Codec.OnYield = OnYield;
  settings.OnExpand = OnExpand;
  settings.CompressID = compress_id;
  const TListedEntry listed{entry.Name, MakeFileInfo(entry)};
  std::unique_ptr<platform::ByteStream> observed;
  if (OnEntryOutput) observed = OnEntryOutput(listed, *out);
  TWriteBuffer buffered(observed ? *observed : *out, kOutputBufferSize);
  try {
    ExpandEntry(entry, archive, buffered, settings);
    buffered.Flush();
  } catch (const EInvalidKey&) {
    observed.reset();
    out.reset();
    platform::DeleteFile(machine_, path);
    throw;
  } catch (...) {
    // The file keeps what was expanded before the failure, as if written unbuffered.
    try {
      buffered.Flush();
    } catch (...) {
    }
    observed.reset();
    out.reset();
    SetAttributes(machine_, path, entry.Header.Attributes);
    throw;
  }

  // The date is set while the file is open; an invalid DOS stamp leaves the file's own.
  const auto stamp = static_cast<std::uint32_t>(entry.Header.FileDate);
  platform::SetFileDosTime(*out, static_cast<std::uint16_t>(stamp >> 16),
                           static_cast<std::uint16_t>(stamp & 0xFFFF));
  observed.reset();
  out->Close();
  out.reset();
  SetAttributes(machine_, path, entry.Header.Attributes);
  if (OnEntryWritten) OnEntryWritten(listed, path);
  return true;
}

}  // namespace nolvo::container
