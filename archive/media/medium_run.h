#pragma once
// What list, test and extract share when they read a medium: a private workspace, the
// findings of the run, the digest lists, and for each archive its listing, its audit and
// its check against the entry list, made before the command sees the archive.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "archive/media/archive_audit.h"
#include "archive/media/digest_worker.h"
#include "archive/media/media_reader.h"
#include "archive/media/medium_digests.h"

namespace nolvo::media {

class MediumRun {
 public:
  // The archive a walk is at.
  struct Archive {
    const MediaArchive& Media;
    container::TCompress& Compress;
    const container::TArchiveOpener& Open;  // a new stream over the archive at each call
    ArchivePlace Place;
    container::TCompressedFileList Listing;
    ArchiveAudit Audit;
  };

  // Reads the digest lists beside `location` (the findings go to `report`, each also to
  // `onFinding` as it is made). Throws EMediumRefused when a finding stops `tool`.
  MediumRun(const MediaLocation& location, Tool tool, stage::MediaReport& report,
            std::function<void(const stage::MediaFinding&)> onFinding);
  ~MediumRun();
  MediumRun(const MediumRun&) = delete;
  MediumRun& operator=(const MediumRun&) = delete;

  PrivateWorkspace& Workspace() { return workspace_; }
  const platform::CodePage& Codepage() { return workspace_.Machine().Codepage(); }
  FindingSink& Sink() { return sink_; }
  const MediumDigests& Digests() const { return digests_; }
  // The check against the entry list; null when there is no sound entry list.
  EntryDigestCheck* EntryCheck() { return entryCheck_ ? &*entryCheck_ : nullptr; }

  // Walks the archives with `key`; each is listed, audited and checked against the entry
  // list before `visit` sees it; with `flatNames` the names written also go through the
  // flat-name check (an extract without it checks for entries of the very same path). A failure of
  // the read is recorded as a ReadFailed finding that names where it happened and ends the run
  // (EMediumRefused); EMediumRefused passes as it is. After the walk: NoArchive when there was
  // none, EntryMissing for archives the entry list names that were not met.
  MediaWalk Walk(std::int32_t key, bool flatNames, const std::function<void(Archive&)>& visit);

  // A digest stream over `output` for entry `index` of the current archive when the entry
  // list has a digest for it, else null. The stream may be written on any one thread, which
  // hashes what it writes: a run on one thread uses one thread.
  std::unique_ptr<platform::ByteStream> DigestOutput(std::size_t index,
                                                     platform::ByteStream& output);
  // After entry `index` was expanded through DigestOutput's stream: whether its bytes are
  // the listed ones (EntryDiffers when not); true when it had no listed digest.
  bool Verify(const Archive& archive, std::size_t index);
  // Forgets the digest of entry `index` (its expansion failed).
  void DropDigest(std::size_t index) { jobs_.erase(index); }

 private:
  const MediaLocation& location_;
  PrivateWorkspace workspace_;
  FindingSink sink_;
  MediumDigests digests_;
  std::optional<EntryDigestCheck> entryCheck_;
  std::map<std::size_t, std::shared_ptr<DigestJob>> jobs_;  // entries of the current archive
};

// The message of the exception `error` holds.
std::string ErrorText(const std::exception_ptr& error);

}  // namespace nolvo::media
