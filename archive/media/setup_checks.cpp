#include "archive/media/setup_checks.h"

#include <algorithm>
#include <filesystem>
#include <thread>
#include <utility>

#include "archive/container/compress.h"
#include "archive/media/stored_copy_check.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"

namespace nolvo::media {

using stage::FindingKind;

SetupChecks::SetupChecks(platform::Machine& machine) : machine_(machine) {}

SetupChecks::~SetupChecks() = default;

void SetupChecks::Begin(const std::string& sourceDir, stage::MediaReport& report) {
  sink_ = std::make_unique<FindingSink>(Tool::Setup, report, machine_.Codepage());
  const auto folder = machine_.Resolve(sourceDir);
  digests_ = LoadMediumDigests(folder.host, "", *sink_);
  // The archive headers (where the files go) are covered by the media list alone.
  // Nothing else runs yet: every core hashes.
  if (digests_.Files)
    CheckMediaFiles(folder.host, *digests_.Files, machine_.Codepage(), *sink_,
                    static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  if (digests_.Entries) check_.emplace(*digests_.Entries);
}

void SetupChecks::ArchiveJoined(const segment::TSegCompress& reader, const segment::TSegArc& arc,
                                const std::string& joinedFile, stage::MediaReport&) {
  FinishArchive();
  ++archives_;
  map_.emplace(MachineSegmentMap(machine_, reader.SegDir(), reader.SegBaseName()));
  std::error_code ec;
  const auto size = std::filesystem::file_size(machine_.Resolve(joinedFile).host, ec);
  map_->ArchiveEnds(ec ? 0 : static_cast<std::int64_t>(size), reader.SegNumber(),
                    reader.SegRemaining());
  place_ = ArchivePlace{arc.Index, arc.Template, &*map_};
  inArchive_ = true;
  index_ = std::string::npos;
  listing_.clear();
  container::TCompress lister(machine_);
  lister.ListArchiveEntries(joinedFile, listing_);
  audit_ = AuditArchive(listing_, ArchiveTotalSize(machine_, joinedFile), &arc.ArcFileNames, place_,
                        *sink_);
  for (std::size_t i = 0; i < listing_.size(); ++i)
    if (audit_.Written(i)) flat_.Add(place_, listing_[i], i, *sink_);
  if (check_) check_->BeginArchive(place_, listing_, *sink_);
  badCopies_ = BadStoredCopies(machine_, joinedFile, listing_, reader.Key());
}

void SetupChecks::EntrySelected(const container::TListedEntry& entry) {
  index_ = IndexOf(listing_, entry.Info.EntryPosition);
}

std::unique_ptr<platform::ByteStream> SetupChecks::EntryOutput(platform::ByteStream& output) {
  job_.reset();
  if (!check_ || !check_->Expected(index_)) return nullptr;
  if (!worker_) worker_ = std::make_unique<DigestWorker>();
  job_ = worker_->NewJob();
  return std::make_unique<DigestStream>(output, job_);
}

void SetupChecks::EntryWritten(const std::string& path, stage::MediaReport&) {
  // A failure from here on is not this entry's.
  const std::size_t index = std::exchange(index_, std::string::npos);
  if (index >= listing_.size()) return;
  const auto& entry = listing_[index];
  if (const EntryDigest* expected = check_ ? check_->Expected(index) : nullptr) {
    const std::shared_ptr<DigestJob> job = std::move(job_);
    check_->Done(index);
    if (!job || job->Finish() != expected->Digest || job->Size() != expected->Size) {
      // Never left at its name: the file goes before the run stops. It has its entry's
      // attributes by now, so a read-only one loses them first.
      if (platform::DeleteFile(machine_, path) == platform::kErrorAccessDenied &&
          platform::SetFileAttributes(machine_, path, platform::kFileAttributeNormal).ok())
        static_cast<void>(platform::DeleteFile(machine_, path));  // nothing more to try
      sink_->Add(FindingKind::EntryDiffers,
                 place_.Entry(entry, index, "its bytes differ from the entry digest list"));
    }
  }
  if (const auto bad = badCopies_.find(entry.Info.EntryPosition); bad != badCopies_.end())
    sink_->Add(FindingKind::StoredSumBad,
               place_.Entry(entry, index, bad->second + "; copied as stored"));
}

void SetupChecks::FinishArchive() {
  if (!inArchive_) return;
  inArchive_ = false;
  if (check_) check_->EndArchive(place_, listing_, &audit_, *sink_);
}

void SetupChecks::End(stage::MediaReport&) {
  FinishArchive();
  if (archives_ == 0) {
    stage::MediaFinding f;
    f.Text = "the medium holds no archive";
    sink_->Add(FindingKind::NoArchive, std::move(f));
  }
  if (check_) check_->End(*sink_);
}

void SetupChecks::Failed(const std::string& error, stage::MediaReport& report) {
  if (report.Stopped()) return;
  stage::MediaFinding f;
  if (inArchive_) {
    f = index_ < listing_.size() ? place_.Entry(listing_[index_], index_, error)
                                 : place_.Archive(error);
  } else {
    f.Text = error;
  }
  f.Level = stage::Severity::Fatal;
  f.Kind = FindingKind::ReadFailed;
  report.Add(std::move(f));
}

}  // namespace nolvo::media
