#include "archive/container/compress.h"

#include "archive/container/compress_files.h"
#include "archive/container/entry_walk.h"
#include "archive/container/expand_entry.h"
#include "archive/container/listing.h"

namespace nolvo::container {

TCompress::TCompress(platform::Machine& machine) : machine_(machine) {}

void TCompress::SetTargetPath(const std::string& value) {
  target_path_ = value;
  if (!target_path_.empty() && target_path_.back() != '\\') target_path_ += '\\';
}

TCompressHandlers TCompress::SuspendEvents() {
  TCompressHandlers saved{std::move(OnCompress), std::move(OnExpand), std::move(OnCheckFile),
                          std::move(OnRecognize), std::move(OnShowProgress)};
  OnCompress = nullptr;
  OnExpand = nullptr;
  OnCheckFile = nullptr;
  OnRecognize = nullptr;
  OnShowProgress = nullptr;
  return saved;
}

void TCompress::ResumeEvents(TCompressHandlers saved) {
  OnCompress = std::move(saved.OnCompress);
  OnExpand = std::move(saved.OnExpand);
  OnCheckFile = std::move(saved.OnCheckFile);
  OnRecognize = std::move(saved.OnRecognize);
  OnShowProgress = std::move(saved.OnShowProgress);
}

void TCompress::ListArchiveEntries(const std::string& FileName, TCompressedFileList& List) {
  const auto archive = OpenArchiveFile(machine_, FileName);
  ListEntries(*archive, OnRecognize, List);
}

void TCompress::TestArchiveEntries(const std::string& FileName, const TEntryTestResult& Result) {
  const auto archive = OpenArchiveFile(machine_, FileName);
  if (archive->Size() < kSmallestArchiveWithEntry) return;
  const TArchiveStart start = ReadArchiveHeader(*archive, OnRecognize);
  TExpandSettings settings;
  settings.Codec.OnShowProgress = OnShowProgress;
  settings.Codec.Key = key_;
  settings.Codec.OnYield = OnYield;
  settings.OnExpand = OnExpand;
  settings.CompressID = start.Header.MethodId;
  TEntryWalker walker(*archive);
  TArchiveEntry entry;
  std::int64_t passed = 0;
  while (walker.Next(entry, passed >= start.Header.TotalSize)) {
    passed += entry.Header.OriginalSize;
    const TListedEntry listed{entry.Name, MakeFileInfo(entry)};
    std::exception_ptr error;
    try {
      platform::NullStream sink;
      std::unique_ptr<platform::ByteStream> observed;
      if (OnEntryOutput) observed = OnEntryOutput(listed, sink);
      ExpandEntry(entry, *archive, observed ? *observed : sink, settings);
    } catch (...) {
      error = std::current_exception();
    }
    if (Result) Result(listed, error);
  }
}

}  // namespace nolvo::container
