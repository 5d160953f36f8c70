#pragma once
// The checks the setup's extraction stage runs over a medium: the digest lists beside
// the segments and the outcome table's rules for the setup. What stops the setup ends the
// expansion before the wizard, so nothing is copied; what is only an error or a warning is
// recorded for the end of the run.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "archive/media/archive_audit.h"
#include "archive/media/digest_worker.h"
#include "archive/media/medium_digests.h"
#include "archive/media/stored_copy_check.h"
#include "archive/stage/medium_checks.h"
#include "platform/machine.h"

namespace nolvo::media {

class SetupChecks : public stage::MediumChecks {
 public:
  explicit SetupChecks(platform::Machine& machine);
  ~SetupChecks() override;

  void Begin(const std::string& sourceDir, stage::MediaReport& report) override;
  void ArchiveJoined(const segment::TSegCompress& reader, const segment::TSegArc& arc,
                     const std::string& joinedFile, stage::MediaReport& report) override;
  void EntrySelected(const container::TListedEntry& entry) override;
  std::unique_ptr<platform::ByteStream> EntryOutput(platform::ByteStream& output) override;
  void EntryWritten(const std::string& path, stage::MediaReport& report) override;
  void End(stage::MediaReport& report) override;
  void Failed(const std::string& error, stage::MediaReport& report) override;

 private:
  // The archive before is done: its listed entries must all have been written.
  void FinishArchive();

  platform::Machine& machine_;
  std::unique_ptr<FindingSink> sink_;
  MediumDigests digests_;
  std::optional<EntryDigestCheck> check_;
  std::unique_ptr<DigestWorker> worker_;
  FlatNames flat_;
  std::size_t archives_ = 0;
  // The archive being expanded.
  bool inArchive_ = false;
  std::optional<SegmentMap> map_;
  ArchivePlace place_;
  container::TCompressedFileList listing_;
  ArchiveAudit audit_;
  StoredCopyFaults badCopies_;
  std::size_t index_ = std::string::npos;  // the entry being written
  std::shared_ptr<DigestJob> job_;
};

}  // namespace nolvo::media
