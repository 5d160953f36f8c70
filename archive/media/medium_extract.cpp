#include "archive/media/medium_extract.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <memory>

#include "archive/media/confined_path.h"
#include "archive/media/medium_run.h"
#include "archive/media/stored_copy_check.h"
#include "util/shown_text.h"

namespace nolvo::media {

namespace fs = std::filesystem;
using stage::FindingKind;

namespace {

constexpr char kOutputDrive = 'o';

// One file being written: its temporary and final host paths.
struct PendingFile {
  fs::path Temp;
  fs::path Final;
  std::string Shown;  // its path below Dir, for messages
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

  ~Extractor() { Discard(); }
  Extractor(const Extractor&) = delete;
  Extractor& operator=(const Extractor&) = delete;

  void Run() {
    MediumRun run(location_, Tool::Extract, result_.Report, events_.OnFinding);
    run_ = &run;
    // The archive headers (where the files go) are covered by the media list alone: a
    // medium whose files differ from it is not read at all.
    if (run.Digests().Files && location_.Segmented)
      CheckMediaFiles(location_.Folder, *run.Digests().Files, run.Codepage(), run.Sink());
    run.Walk(
        options_.Key, options_.Flat,
        [this](MediumRun::Archive& archive) { ExtractArchive(archive); }, events_.OnJoin);
  }

 private:
  const platform::CodePage& Cp() { return run_->Codepage(); }

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
    const auto badCopies =
        BadStoredCopies(run_->Workspace().Machine(), archive.File, listing, options_.Key);
    std::size_t index = std::string::npos;
    std::string shown;
    std::shared_ptr<DigestJob> job;
    // An entry reported and not written: the entry list's check need not name it again.
    auto passOver = [&](std::string& path) {
      if (check) check->Done(index);
      path.clear();
    };

    compress.SetExceptionOnFileError(true);
    compress.OnShowProgress = [&](std::int32_t& percent) {
      if (events_.OnEntry) events_.OnEntry(shown, percent);
    };
    compress.OnEntrySelected = [&](const container::TListedEntry& entry) {
      index = IndexOf(listing, entry.Info.EntryPosition);
    };
    compress.OnCheckFile = [&](std::string& path, container::TCProcessMode) {
      if (events_.Poll) events_.Poll();
      shown = util::ShownName(path, Cp());
      // Nothing here decodes it, or the entry list does not vouch for it: both reported.
      if (index >= listing.size() || !archive.Audit.Decodable[index] ||
          (check && !check->Expected(index)))
        return passOver(path);
      // A directory entry (no file-name part, such as DATA\) names no file: passed over.
      const auto cut = path.find_last_of("\\/:");
      if (cut == std::string::npos ? path.empty() : cut + 1 == path.size())
        return passOver(path);
      path = Prepare(archive, base, path, index);
      if (path.empty()) passOver(path);
    };
    compress.OnEntryOutput = [&](const container::TListedEntry&, platform::ByteStream& out) {
      return run_->DigestOutput(index, out, job);
    };
    compress.OnEntryWritten = [&](const container::TListedEntry& entry, const std::string&) {
      if (!run_->Verify(archive, index, job)) return Discard();
      // A stored copy is written as the format writes it, and named.
      if (badCopies.count(entry.Info.EntryPosition))
        run_->Sink().Add(FindingKind::StoredSumBad,
                         archive.Place.Entry(entry, index,
                                             "its stored bytes do not add up to its checksum; "
                                             "written as stored"));
      Commit();
    };

    std::vector<std::string> selection = archive.Media.FileNames;
    try {
      compress.ExpandArchiveEntries(archive.File, location_.Segmented ? &selection : nullptr);
    } catch (const std::exception& e) {
      const bool inEntry = pending_ != nullptr;
      Discard();
      if (!inEntry || index >= listing.size() || dynamic_cast<const ECancelled*>(&e) ||
          dynamic_cast<const EMediumRefused*>(&e))
        throw;
      run_->Sink().Add(FindingKind::EntryFailed,
                       archive.Place.Entry(listing[index], index, e.what()));
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
      run_->Sink().Add(FindingKind::NameConfined, archive.Place.Entry(entry, index, note));
    if (confined.Parts.empty()) {
      run_->Sink().Add(FindingKind::NameUnusable,
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

    PendingFile pending{folder / fmt::format(".nolvo-{}-{}.part", ::getpid(), ++counter_), target,
                        shown};
    const int fd =
        ::open(pending.Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
      throw std::runtime_error(fmt::format("cannot create a file in {}", folder.string()));
    ::close(fd);
    pending_ = std::make_unique<PendingFile>(std::move(pending));
    if (run_->Workspace().Machine().MapDrive(kOutputDrive, folder) != 0)
      throw std::runtime_error(fmt::format("cannot reach the folder {}", folder.string()));
    return std::string(1, kOutputDrive) + ":\\" + pending_->Temp.filename().string();
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

  // The file is whole and its bytes are the right ones: it takes its name.
  void Commit() {
    if (!pending_) return;
    PendingFile done = std::move(*pending_);
    pending_.reset();
    std::error_code ec;
    fs::rename(done.Temp, done.Final, ec);
    if (ec) {
      fs::remove(done.Temp, ec);
      throw std::runtime_error(fmt::format("cannot write {}", done.Shown));
    }
    ++result_.Written;
    if (events_.OnWritten) events_.OnWritten(done.Shown);
  }

  void Discard() {
    if (!pending_) return;
    std::error_code ec;
    fs::remove(pending_->Temp, ec);
    pending_.reset();
  }

  const MediaLocation& location_;
  const ExtractOptions& options_;
  const ExtractEvents& events_;
  ExtractResult& result_;
  MediumRun* run_ = nullptr;
  std::unique_ptr<PendingFile> pending_;  // the file being written
  std::size_t counter_ = 0;
};

}  // namespace

void ExtractMedium(const MediaLocation& location, const ExtractOptions& options,
                   const ExtractEvents& events, ExtractResult& result) {
  Extractor extractor(location, options, events, result);
  extractor.Run();
}

}  // namespace nolvo::media
