#include "archive/media/medium_extract.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <string_view>

#include "archive/media/confined_path.h"
#include "archive/media/medium_run.h"
#include "archive/media/stored_copy_check.h"
#include "archive/media/thread_count.h"
#include "util/shown_text.h"

namespace nolvo::media {

namespace fs = std::filesystem;
using stage::FindingKind;

namespace {

// Drives of the workspace machine that reach the folders of the files being written, one
// per file (with several threads, several files are written at once).
constexpr std::string_view kOutputDrives = "opqrsuvwxydefghijklnab";
// One drive per file being written, on the most threads.
static_assert(kMostThreads + 1 <= static_cast<int>(kOutputDrives.size()));

// One file being written: its entry, its temporary and final host paths, the drive its
// folder is reached by, and what must wait until it is complete (below).
struct PendingFile {
  std::size_t Index = 0;
  fs::path Temp;
  fs::path Final;
  std::string Shown;  // its path below Dir, for messages
  char Drive = 0;
  std::vector<std::function<void()>> After;
};

class Extractor {
 public:
  Extractor(const MediaLocation& location, const ExtractOptions& options,
            const ExtractEvents& events, ExtractResult& result)
      : location_(location), options_(options), events_(events), result_(result) {
    std::error_code ec;
    fs::create_directories(options.Dir, ec);
    result.Root = fs::canonical(options.Dir, ec);
    if (ec || !fs::is_directory(result.Root))
      throw EMediaPath(fmt::format("cannot use {} as the output folder", options.Dir.string()));
  }

  ~Extractor() { DiscardAll(); }
  Extractor(const Extractor&) = delete;
  Extractor& operator=(const Extractor&) = delete;

  void Run() {
    MediumRun run(location_, Tool::Extract, result_.Report, events_.OnFinding);
    run_ = &run;
    // The archive headers (where the files go) are covered by the media list alone: a
    // medium whose segments or install.cfg differ from it is not read at all.
    if (run.Digests().Files && location_.Segmented)
      CheckMediaFiles(
          location_.Folder, *run.Digests().Files, run.Codepage(), run.Sink(), Threads(),
          [this](const std::string& name) { return ReadByExtraction(name, location_.BaseName); });
    run.Walk(options_.Key, options_.Flat,
             [this](MediumRun::Archive& archive) { ExtractArchive(archive); });
  }

 private:
  const platform::CodePage& Cp() { return run_->Codepage(); }
  int Threads() const { return ThreadsToUse(options_.Threads); }

  // With several threads the entries after the one being written are prepared (checked,
  // their files created) before it is complete. What a run on one thread would do only
  // after it (findings, the entry list's bookkeeping) waits until then; should it fail,
  // that never happens, as on one thread.
  void AfterPending(std::function<void()> step) {
    if (pending_.empty()) return step();
    pending_.back().After.push_back(std::move(step));
  }
  void Report(stage::FindingKind kind, stage::MediaFinding finding) {
    AfterPending(
        [this, kind, f = std::move(finding)]() mutable { run_->Sink().Add(kind, std::move(f)); });
  }

  void ExtractArchive(MediumRun::Archive& archive) {
    auto& compress = archive.Compress;
    const auto& listing = archive.Listing;
    ConfinedPath base;
    if (!options_.Flat) {
      base = ConfinePath(archive.Media.TargetDir, true, Cp());
      for (const auto& note : base.Notes)
        run_->Sink().Add(FindingKind::NameConfined, archive.Place.Archive("template: " + note));
    }
    EntryDigestCheck* check = run_->EntryCheck();
    const auto badCopies = BadStoredCopies(*archive.Open(), listing, options_.Key);
    std::size_t index = std::string::npos;  // the entry being prepared
    // An entry reported and not written: the entry list's check need not name it again.
    auto passOver = [&](std::string& path) {
      if (check) AfterPending([check, i = index] { check->Done(i); });
      path.clear();
    };

    compress.SetThreads(Threads());
    compress.SetExceptionOnFileError(true);
    compress.OnShowProgress = [&](std::int32_t& percent) {
      if (events_.OnEntry && !pending_.empty()) events_.OnEntry(pending_.front().Shown, percent);
    };
    compress.OnEntrySelected = [&](const container::TListedEntry& entry) {
      index = IndexOf(listing, entry.Info.EntryPosition);
    };
    compress.OnCheckFile = [&](std::string& path, container::TCProcessMode) {
      if (events_.Poll) events_.Poll();
      // Nothing here decodes it, or the entry list does not vouch for it: both reported.
      if (index >= listing.size() || !archive.Audit.Decodable[index] ||
          (check && !check->Expected(index)))
        return passOver(path);
      // A directory entry (no file-name part, such as DATA\) names no file: passed over.
      const auto cut = path.find_last_of("\\/:");
      if (cut == std::string::npos ? path.empty() : cut + 1 == path.size()) return passOver(path);
      path = Prepare(archive, base, path, index);
      if (path.empty()) passOver(path);
    };
    compress.OnEntryOutput = [&](const container::TListedEntry& entry, platform::ByteStream& out) {
      return run_->DigestOutput(IndexOf(listing, entry.Info.EntryPosition), out);
    };
    compress.OnEntryWritten = [&](const container::TListedEntry& entry, const std::string&) {
      const std::size_t i = IndexOf(listing, entry.Info.EntryPosition);
      if (!run_->Verify(archive, i)) return Done(false);
      // A stored copy is written as the format writes it, and named.
      if (const auto bad = badCopies.find(entry.Info.EntryPosition); bad != badCopies.end())
        run_->Sink().Add(FindingKind::StoredSumBad,
                         archive.Place.Entry(entry, i, bad->second + "; written as stored"));
      Done(true);
    };

    std::vector<std::string> selection = archive.Media.FileNames;
    try {
      compress.ExpandArchiveEntries(archive.Open, location_.Segmented ? &selection : nullptr);
    } catch (const std::exception& e) {
      // The entry being expanded when it failed, if any: the oldest one not complete (not
      // one whose file failed to take its name).
      const std::size_t failed =
          pending_.empty() || committing_ ? std::string::npos : pending_.front().Index;
      committing_ = false;
      DiscardAll();
      if (failed >= listing.size() || dynamic_cast<const ECancelled*>(&e) ||
          dynamic_cast<const EMediumRefused*>(&e))
        throw;
      run_->DropDigest(failed);
      run_->Sink().Add(FindingKind::EntryFailed,
                       archive.Place.Entry(listing[failed], failed, e.what()));
    }
    if (check) check->EndArchive(archive.Place, listing, &archive.Audit, run_->Sink());
  }

  // The machine path to expand the stored name `name` to: a fresh temporary file in the
  // confined folder it belongs in. Empty (skip) when nothing of the name is usable.
  std::string Prepare(const MediumRun::Archive& archive, const ConfinedPath& base,
                      const std::string& name, std::size_t index) {
    ConfinedPath confined =
        options_.Flat ? ConfineFileName(name, Cp()) : ConfinePath(name, false, Cp());
    const auto& entry = archive.Listing[index];
    for (const auto& note : confined.Notes)
      Report(FindingKind::NameConfined, archive.Place.Entry(entry, index, note));
    if (confined.Parts.empty()) {
      Report(FindingKind::NameUnusable,
             archive.Place.Entry(entry, index, "no file name left; not extracted"));
      return "";
    }
    std::vector<std::string> parts = base.Parts;
    parts.insert(parts.end(), confined.Parts.begin(), confined.Parts.end());
    fs::path folder = result_.Root;
    std::string shown;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
      folder /= parts[i];
      shown += parts[i] + "/";
      EnsureFolder(folder, shown);
    }
    shown += parts.back();
    const fs::path target = folder / parts.back();
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(target, ec)))
      throw std::runtime_error(fmt::format("{} is a folder", shown));

    PendingFile pending{
        index,       folder / fmt::format(".nolvo-{}-{}.part", ::getpid(), ++counter_),
        target,      shown,
        FreeDrive(), {}};
    const int fd =
        ::open(pending.Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
      throw std::runtime_error(fmt::format("cannot create a file in {}", folder.string()));
    ::close(fd);
    pending_.push_back(std::move(pending));
    const PendingFile& added = pending_.back();
    if (!run_->Workspace().Machine().MapDrive(added.Drive, folder).ok())
      throw std::runtime_error(fmt::format("cannot reach the folder {}", folder.string()));
    return std::string(1, added.Drive) + ":\\" + added.Temp.filename().string();
  }

  // A drive no file being written uses.
  char FreeDrive() const {
    for (const char drive : kOutputDrives)
      if (std::none_of(pending_.begin(), pending_.end(),
                       [drive](const PendingFile& p) { return p.Drive == drive; }))
        return drive;
    throw std::logic_error("more files written at once than drives to reach them");
  }

  // A folder below Dir, made when missing; an existing link is never followed.
  static void EnsureFolder(const fs::path& folder, const std::string& shown) {
    std::error_code ec;
    const auto status = fs::symlink_status(folder, ec);
    if (fs::is_symlink(status))
      throw std::runtime_error(fmt::format("{} is a symbolic link; not followed", shown));
    if (fs::exists(status)) {
      if (!fs::is_directory(status))
        throw std::runtime_error(fmt::format("{} is not a folder", shown));
      return;
    }
    if (!fs::create_directory(folder, ec) && ec)
      throw std::runtime_error(fmt::format("cannot create the folder {}: {}", shown, ec.message()));
  }

  // The oldest file being written is complete: with `keep` (its bytes are the right ones)
  // it takes its name, otherwise it goes. Then what waited for it happens.
  void Done(bool keep) {
    if (pending_.empty()) return;
    PendingFile done = std::move(pending_.front());
    pending_.pop_front();
    committing_ = true;
    std::error_code ec;
    if (!keep) {
      fs::remove(done.Temp, ec);
    } else {
      fs::rename(done.Temp, done.Final, ec);
      if (ec) {
        fs::remove(done.Temp, ec);
        throw std::runtime_error(fmt::format("cannot write {}", done.Shown));
      }
      ++result_.Written;
      if (events_.OnWritten) events_.OnWritten(done.Shown);
    }
    for (auto& step : done.After) step();
    committing_ = false;
  }

  void DiscardAll() {
    std::error_code ec;
    for (const auto& pending : pending_) fs::remove(pending.Temp, ec);
    pending_.clear();
  }

  const MediaLocation& location_;
  const ExtractOptions& options_;
  const ExtractEvents& events_;
  ExtractResult& result_;
  MediumRun* run_ = nullptr;
  std::deque<PendingFile> pending_;  // the files being written, oldest first
  bool committing_ = false;          // a complete file is taking its name
  std::size_t counter_ = 0;
};

}  // namespace

void ExtractMedium(const MediaLocation& location, const ExtractOptions& options,
                   const ExtractEvents& events, ExtractResult& result) {
  Extractor extractor(location, options, events, result);
  extractor.Run();
}

}  // namespace nolvo::media
