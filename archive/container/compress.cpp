#include "archive/container/compress.h"

#include <deque>

#include "archive/container/compress_files.h"
#include "archive/container/entry_pipeline.h"
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

void TCompress::ListArchiveEntries(platform::ByteStream& Archive, TCompressedFileList& List) {
  ListEntries(Archive, OnRecognize, List);
}

void TCompress::TestArchiveEntries(const std::string& FileName, const TEntryTestResult& Result) {
  const auto archive = OpenArchiveFile(machine_, FileName);
  TestFrom(*archive, Result, nullptr);
}

void TCompress::TestArchiveEntries(const TArchiveOpener& Open, const TEntryTestResult& Result) {
  const auto archive = Open();
  TestFrom(*archive, Result, &Open);
}

TExpandSettings TCompress::ExpandSettings(const std::string& compressId) const {
  TExpandSettings settings;
  settings.Codec.OnShowProgress = OnShowProgress;
  settings.Codec.Key = key_;
  settings.Codec.OnYield = OnYield;
  settings.OnExpand = OnExpand;
  settings.CompressID = compressId;
  return settings;
}

void TCompress::TestFrom(platform::ByteStream& archive, const TEntryTestResult& Result,
                         const TArchiveOpener* open) {
  if (archive.Size() < kSmallestArchiveWithEntry) {
    CheckShortArchive(archive, OnRecognize);
    return;
  }
  const TArchiveStart start = ReadArchiveHeader(archive, OnRecognize);
  const TExpandSettings settings = ExpandSettings(start.Header.MethodId);

  // An entry between its start and its report: where its bytes go, and an error met
  // before it could be handed to a worker.
  struct Tested {
    TListedEntry Listed;
    platform::NullStream Sink;
    std::unique_ptr<platform::ByteStream> Observed;
    std::exception_ptr Error;
    bool Started = false;
  };
  std::deque<std::unique_ptr<Tested>> pending;
  // Declared after `pending`, so that the workers stop before the streams they write go.
  std::unique_ptr<TEntryPipeline> pipeline;
  if (open && threads_ > 1 && !OnExpand)
    pipeline = std::make_unique<TEntryPipeline>(*open, threads_, settings);

  auto report = [&](Tested& tested) {
    tested.Observed.reset();
    if (Result) Result(tested.Listed, tested.Error);
  };
  auto reportOldest = [&] {
    std::unique_ptr<Tested> tested = std::move(pending.front());
    pending.pop_front();
    if (tested->Started) {
      try {
        pipeline->Take(OnShowProgress);
      } catch (...) {
        tested->Error = std::current_exception();
      }
    }
    report(*tested);
  };

  // As in ExpandFrom: a damaged tail met ahead comes after the entries before it.
  std::exception_ptr stopped;
  bool reporting = false;
  try {
    TEntryWalker walker(archive);
    TArchiveEntry entry;
    std::int64_t passed = 0;
    while (walker.Next(entry, passed >= start.Header.TotalSize)) {
      passed += entry.Header.OriginalSize;
      auto tested = std::make_unique<Tested>();
      tested->Listed = {entry.Name, MakeFileInfo(entry)};
      try {
        if (OnEntryOutput) tested->Observed = OnEntryOutput(tested->Listed, tested->Sink);
        platform::ByteStream& out = tested->Observed ? *tested->Observed : tested->Sink;
        if (pipeline) {
          pipeline->Start(entry, out);
          tested->Started = true;
        } else {
          ExpandEntry(entry, archive, out, settings);
        }
      } catch (...) {
        tested->Error = std::current_exception();
      }
      reporting = true;
      if (!pipeline) {
        report(*tested);
      } else {
        pending.push_back(std::move(tested));
        if (pending.size() >= pipeline->Window()) reportOldest();
      }
      reporting = false;
    }
  } catch (...) {
    if (reporting) throw;
    stopped = std::current_exception();
  }
  while (!pending.empty()) reportOldest();
  if (stopped) std::rethrow_exception(stopped);
}

}  // namespace nolvo::container
