// The expansion driver: entry after entry, selection, output path, OnCheckFile, free
// space, directories, the output file with its date and attributes, and the TotalSize
// count that ends the archive. With an opener and several threads the entries' data are
// expanded by an entry pipeline, ahead of the entry being completed.

#include <deque>
#include <unordered_set>

#include "archive/container/compress.h"
#include "archive/container/compress_errors.h"
#include "archive/container/compress_files.h"
#include "archive/container/entry_output.h"
#include "archive/container/entry_pipeline.h"
#include "archive/container/entry_walk.h"
#include "archive/container/expand_entry.h"
#include "archive/container/listing.h"
#include "platform/ascii.h"
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
  static_cast<void>(
      platform::SetFileAttributes(machine, path, static_cast<std::uint16_t>(attributes)));
}

bool IsInvalidKey(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const EInvalidKey&) {
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

void TCompress::ExpandArchiveEntries(const std::string& FileName, std::vector<std::string>* List) {
  const auto archive = OpenArchiveFile(machine_, FileName);
  ExpandFrom(*archive, List, nullptr);
}

void TCompress::ExpandArchiveEntries(const TArchiveOpener& Open, std::vector<std::string>* List) {
  const auto archive = Open();
  ExpandFrom(*archive, List, &Open);
}

void TCompress::ExpandFrom(platform::ByteStream& archive, std::vector<std::string>* List,
                           const TArchiveOpener* open) {
  std::vector<std::string> written;
  const TArchiveStart start = ReadArchiveHeader(archive, OnRecognize);

  std::unordered_set<std::string> selection;
  if (List) {
    for (const std::string& name : *List) selection.insert(platform::AsciiUpper(name));
  }

  const TExpandSettings settings = ExpandSettings(start.Header.MethodId);

  // Entries handed to the workers, oldest first, and the workers. On every way out the
  // workers stop before the outputs they write go, and outputs never completed are
  // deleted.
  std::deque<std::unique_ptr<TEntryOutput>> pending;
  std::unique_ptr<TEntryPipeline> pipeline;
  if (open && threads_ > 1 && !OnExpand)
    pipeline = std::make_unique<TEntryPipeline>(*open, threads_, settings);
  struct Cleanup {
    TCompress& self;
    std::deque<std::unique_ptr<TEntryOutput>>& pending;
    TEntryPipeline* pipeline;
    ~Cleanup() {
      if (pipeline) pipeline->Cancel();
      for (auto& output : pending) self.DiscardOutput(*output);
    }
  } cleanup{*this, pending, pipeline.get()};

  auto completeOldest = [&] {
    std::unique_ptr<TEntryOutput> output = std::move(pending.front());
    pending.pop_front();
    std::exception_ptr error;
    try {
      pipeline->Take(OnShowProgress);
    } catch (...) {
      error = std::current_exception();
    }
    CompleteOutput(*output, error);
    written.push_back(output->Path);
  };

  // A failure met on the way to the next entry comes once the entries before it are
  // complete, as it would on one thread; a failure of those comes first.
  std::exception_ptr stopped;
  bool completing = false;
  try {
    const std::int64_t total = start.Assumed ? 0 : start.Header.TotalSize;
    std::int64_t count = 0;
    TEntryWalker walker(archive);
    TArchiveEntry entry;
    // Once the entries passed add up to TotalSize the archive ends, whatever follows
    // (empty entries and damaged tails alike).
    while (count < total && walker.Next(entry)) {
      if (List && selection.count(platform::AsciiUpper(entry.Name)) == 0) {
        count += entry.Header.OriginalSize;
        continue;
      }

      std::string path;
      const TEntryAdmission admission = AdmitEntry(entry, path);
      if (admission == TEntryAdmission::eaSkip) continue;
      if (admission == TEntryAdmission::eaStop) break;
      std::unique_ptr<TEntryOutput> output = CreateOutput(entry, path);
      if (!output) continue;
      // Counted now: an entry that fails ends the expansion anyway.
      count += entry.Header.OriginalSize;
      completing = true;
      if (!pipeline) {
        std::exception_ptr error;
        try {
          ExpandEntry(entry, archive, *output->Buffered, settings);
        } catch (...) {
          error = std::current_exception();
        }
        CompleteOutput(*output, error);
        written.push_back(path);
      } else {
        pipeline->Start(entry, *output->Buffered);
        pending.push_back(std::move(output));
        if (pending.size() >= pipeline->Window()) completeOldest();
      }
      completing = false;
    }
  } catch (...) {
    if (completing) throw;
    stopped = std::current_exception();
  }
  while (!pending.empty()) completeOldest();
  if (stopped) std::rethrow_exception(stopped);

  if (List) *List = std::move(written);
}

TCompress::TEntryAdmission TCompress::AdmitEntry(const TArchiveEntry& entry, std::string& path) {
  if (OnEntrySelected) OnEntrySelected({entry.Name, MakeFileInfo(entry)});
  path = !entry.Name.empty() && entry.Name[0] == '\\' ? entry.Name : target_path_ + entry.Name;
  if (OnCheckFile) {
    OnCheckFile(path, TCProcessMode::pmExpanding);
    if (path.empty()) return TEntryAdmission::eaSkip;
    if (path == "*") return TEntryAdmission::eaStop;
  }
  if (CheckFreeSpace(path) < entry.Header.OriginalSize) throw EInsufficientDiskSpace(path);
  if (make_directories_) MakeDirectoryPath(DirectoryPart(path));
  return TEntryAdmission::eaExpand;
}

std::unique_ptr<TEntryOutput> TCompress::CreateOutput(const TArchiveEntry& entry,
                                                      const std::string& path) {
  platform::WinError error;
  auto output = std::make_unique<TEntryOutput>();
  output->File = platform::CreateFileAlways(machine_, path, error);
  if (!output->File) {
    if (exception_on_file_error_) throw util::EFCreateError("Cannot create file " + path);
    return nullptr;
  }
  output->Path = path;
  output->Listed = {entry.Name, MakeFileInfo(entry)};
  if (OnEntryOutput) output->Observed = OnEntryOutput(output->Listed, *output->File);
  output->Buffered = std::make_unique<TWriteBuffer>(
      output->Observed ? *output->Observed : *output->File, kOutputBufferSize);
  return output;
}

void TCompress::CompleteOutput(TEntryOutput& output, std::exception_ptr error) {
  if (!error) {
    try {
      output.Buffered->Flush();
    } catch (...) {
      error = std::current_exception();
    }
  }
  if (error) {
    if (IsInvalidKey(error)) {
      output.Buffered.reset();
      output.Observed.reset();
      output.File.reset();
      // Deleted if it can be; the invalid key is what the caller hears either way.
      static_cast<void>(platform::DeleteFile(machine_, output.Path));
    } else {
      // The file keeps what was expanded before the failure, as if written unbuffered.
      try {
        output.Buffered->Flush();
      } catch (...) {
      }
      output.Buffered.reset();
      output.Observed.reset();
      output.File.reset();
      SetAttributes(machine_, output.Path, output.Listed.Info.Attributes);
    }
    std::rethrow_exception(error);
  }

  // The date is set while the file is open; an invalid DOS stamp leaves the file's own.
  const auto stamp = static_cast<std::uint32_t>(output.Listed.Info.FileDate);
  static_cast<void>(platform::SetFileDosTime(*output.File, static_cast<std::uint16_t>(stamp >> 16),
                                             static_cast<std::uint16_t>(stamp & 0xFFFF)));
  output.Buffered.reset();
  output.Observed.reset();
  output.File->Close();
  output.File.reset();
  SetAttributes(machine_, output.Path, output.Listed.Info.Attributes);
  if (OnEntryWritten) OnEntryWritten(output.Listed, output.Path);
}

void TCompress::DiscardOutput(TEntryOutput& output) {
  output.Buffered.reset();
  output.Observed.reset();
  output.File.reset();
  // Clean-up after an earlier failure, which is the one reported.
  static_cast<void>(platform::DeleteFile(machine_, output.Path));
}

}  // namespace nolvo::container
