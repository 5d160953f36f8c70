#pragma once
// Checks the extraction stage runs over the medium besides the format's own: the setup run
// supplies them (the digest lists and the outcome rules live above the stage). Each call
// may add findings to the report; a call that throws ends the expansion like any other
// error (the system's own box, "Error Expanding Files!!", is shown all the same).

#include <memory>
#include <string>

#include "archive/container/compressed_file_info.h"
#include "archive/segment/seg_compress.h"
#include "archive/stage/media_report.h"
#include "platform/byte_stream.h"

namespace nolvo::stage {

class MediumChecks {
 public:
  virtual ~MediumChecks() = default;

  // Before the first segment is looked for; `sourceDir` is the medium's folder.
  virtual void Begin(const std::string& sourceDir, MediaReport& report) = 0;
  // An archive joined into `joinedFile`, before it is expanded; `reader` stands just
  // after the archive's last byte.
  virtual void ArchiveJoined(const segment::TSegCompress& reader, const segment::TSegArc& arc,
                             const std::string& joinedFile, MediaReport& report) = 0;
  // The entry about to be written (before the stage sees its path).
  virtual void EntrySelected(const container::TListedEntry& entry) = 0;
  // The stream the entry's bytes go to; may answer one to write through instead.
  virtual std::unique_ptr<platform::ByteStream> EntryOutput(platform::ByteStream& output) = 0;
  // The entry's file at `path` is complete and closed. A file whose bytes are wrong is
  // deleted before the call throws.
  virtual void EntryWritten(const std::string& path, MediaReport& report) = 0;
  // After the last archive.
  virtual void End(MediaReport& report) = 0;
  // The expansion ended with `error`: records where, unless a finding already stopped it.
  virtual void Failed(const std::string& error, MediaReport& report) = 0;
};

}  // namespace nolvo::stage
