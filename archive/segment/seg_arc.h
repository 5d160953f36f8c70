#pragma once
// One archive of a segmented stream as the reader knows it after its scan record, and
// the reader's handler types.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/container/compress_events.h"
#include "archive/segment/seg_arc_header.h"

namespace nolvo::segment {

struct TSegArc {
  std::string Template;       // the archive's template path, such as "C:\App\*.*"
  std::string TargetDir;      // directory part of Template (up to its last "\" or ":")
  std::uint16_t Index = 0;    // position of its scan record, from 0
  std::uint8_t ArcFlags = 0;  // the scan record's flags, not interpreted
  // The stored names from the list file (the selection to expand); after the archive has
  // been expanded, the full paths of the files written.
  std::vector<std::string> ArcFileNames;
};

// The archives read, in scan-record order. The list owns its archives.
using TSegArcList = std::vector<TSegArc>;

// What the reader is doing; reading passes smReading (ordinal 1).
enum class TSegMode : std::uint8_t { smIdle = 0, smReading = 1, smWriting = 2 };

// Before every attempt to find a segment file (retries included).
using TSegBeforeEvent =
    std::function<void(TSegMode SegMode, const std::string& SegName, std::uint16_t SegNumber)>;
// When the reader is done with a segment and moves on to the next.
using TSegAfterEvent =
    std::function<void(TSegMode SegMode, const std::string& SegName, std::uint16_t SegNumber)>;
// Once, after the scan records and before the first archive is expanded: the handler may
// remove archives, edit their ArcFileNames or TargetDir, or replace the list, keeping the
// order of increasing Index.
using TSegBeforeExpandEvent = std::function<void(TSegArcList& SegArcList)>;
// (Tool hook, not one of the published events.) After an archive has been joined into
// the temporary file `TempArchiveName` and before it is expanded: the handler may list or
// test that file through the TCompress operations. Answering false passes over the
// expansion (the file is deleted all the same).
using TSegArchiveJoinedEvent =
    std::function<bool(TSegArc& SegArc, const std::string& TempArchiveName)>;
// (Tool hook.) The same for a reader that does not join archives (SetJoinArchives(false)):
// `Open` gives a stream over the archive's bytes where they lie in the segment files.
using TSegArchiveLocatedEvent =
    std::function<bool(TSegArc& SegArc, const container::TArchiveOpener& Open)>;
// After each archive has been expanded.
using TSegAfterArchiveEvent =
    std::function<void(const TSegArcHeader& SegArcHdr, const std::string& Template)>;
// After each block of an archive has been copied out of the segments (0 to 100).
using TSegShowProgressEvent = std::function<void(std::int32_t PercentageDone)>;

}  // namespace nolvo::segment
