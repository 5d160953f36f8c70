#include "archive/media/medium_run.h"

namespace nolvo::media {

namespace fs = std::filesystem;
using stage::FindingKind;

std::string ErrorText(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown error";
  }
}

MediumRun::MediumRun(const MediaLocation& location, Tool tool, stage::MediaReport& report,
                     std::function<void(const stage::MediaFinding&)> onFinding)
    : location_(location), sink_(tool, report, workspace_.Machine().Codepage()) {
  sink_.OnFinding = std::move(onFinding);
  digests_ = location.Segmented ? LoadMediumDigests(location.Folder, "", sink_)
                                : LoadMediumDigests(location.File.parent_path(),
                                                    location.File.filename().string(), sink_);
  if (digests_.Entries) entryCheck_.emplace(*digests_.Entries);
}

MediumRun::~MediumRun() = default;

MediaWalk MediumRun::Walk(std::int32_t key, bool flatNames,
                          const std::function<void(Archive&)>& visit) {
  platform::Machine& machine = workspace_.Machine();
  std::size_t archives = 0;
  // Files extracted into a host folder meet by their exact names; kept in their folders,
  // only entries of the very same path meet there.
  const bool extract = sink_.Of() == Tool::Extract;
  FlatNames flat(extract, extract && !flatNames);
  // Where the read is, for a failure's finding.
  ArchivePlace at;
  std::optional<SegmentMap> map;
  MediaWalk walk;
  try {
    walk = ForEachArchive(
        workspace_, location_, key,
        [&](const MediaArchive& media, container::TCompress& compress,
            const container::TArchiveOpener& open) {
          ++archives;
          at = ArchivePlace{media.Index, media.Template, nullptr};
          const auto stream = open();
          if (location_.Segmented) {
            map.emplace(MachineSegmentMap(machine, media.SegDir, media.SegBaseName));
            map->ArchiveEnds(stream->Size(), media.EndSegment, media.EndRemaining);
            at.Segments = &*map;
          }
          jobs_.clear();
          Archive archive{media, compress, open, at, {}, {}};
          compress.ListArchiveEntries(*stream, archive.Listing);
          archive.Audit = AuditArchive(archive.Listing, ArchiveTotalSize(*stream),
                                       location_.Segmented ? &media.FileNames : nullptr, at, sink_);
          if (flatNames || extract)
            for (std::size_t i = 0; i < archive.Listing.size(); ++i)
              if (archive.Audit.Written(i)) flat.Add(at, archive.Listing[i], i, sink_);
          if (entryCheck_) entryCheck_->BeginArchive(at, archive.Listing, sink_);
          visit(archive);
          jobs_.clear();
          at = ArchivePlace{};
        });
  } catch (const EMediumRefused&) {
    throw;
  } catch (const ECancelled&) {
    throw;
  } catch (const std::exception& e) {
    stage::MediaFinding f = at.Archive(e.what());
    sink_.Add(FindingKind::ReadFailed, std::move(f));
    throw;  // a tool that does not stop on a failed read (none does) carries on here
  }
  if (archives == 0) {
    stage::MediaFinding f;
    f.Text = "the medium holds no archive";
    sink_.Add(FindingKind::NoArchive, std::move(f));
  }
  if (entryCheck_) entryCheck_->End(sink_);
  return walk;
}

std::unique_ptr<platform::ByteStream> MediumRun::DigestOutput(std::size_t index,
                                                              platform::ByteStream& output) {
  jobs_.erase(index);
  if (!entryCheck_ || !entryCheck_->Expected(index)) return nullptr;
  auto job = DigestJob::Inline();
  jobs_[index] = job;
  return std::make_unique<DigestStream>(output, std::move(job));
}

bool MediumRun::Verify(const Archive& archive, std::size_t index) {
  const EntryDigest* expected = entryCheck_ ? entryCheck_->Expected(index) : nullptr;
  if (!expected) return true;
  std::shared_ptr<DigestJob> done;
  if (const auto found = jobs_.find(index); found != jobs_.end()) {
    done = std::move(found->second);
    jobs_.erase(found);
  }
  entryCheck_->Done(index);
  if (done && done->Finish() == expected->Digest && done->Size() == expected->Size) return true;
  sink_.Add(FindingKind::EntryDiffers,
            archive.Place.Entry(archive.Listing[index], index,
                                "its bytes differ from the entry digest list"));
  return false;
}

}  // namespace nolvo::media
