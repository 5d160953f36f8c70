#pragma once
// The checks a read makes over one archive before anything is written: names of its list
// file that match no entry, entries nothing decodes, entries past the header's TotalSize,
// an archive without entries where its list names files; and, across a medium, entries
// whose file names flatten to one.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "archive/container/compressed_file_info.h"
#include "archive/media/outcome_table.h"
#include "archive/media/segment_map.h"
#include "platform/byte_stream.h"
#include "platform/machine.h"

namespace nolvo::media {

// Where an archive's findings are: its index and template, and the segments it came from.
struct ArchivePlace {
  int Index = -1;
  std::string Template;
  const SegmentMap* Segments = nullptr;  // null for a single archive file

  // A finding about the archive as a whole.
  stage::MediaFinding Archive(std::string text) const;
  // A finding about entry `index` (its segments are those its header, name and data span).
  stage::MediaFinding Entry(const container::TListedEntry& entry, std::size_t index,
                            std::string text) const;
};

struct ArchiveAudit {
  std::vector<bool> Selected;    // its list file names it (every entry of a single archive)
  std::vector<bool> AfterTotal;  // reached after the running count came to TotalSize
  std::vector<bool> Decodable;   // its method is one this system expands

  // Whether the expansion writes entry `i` (selected, before the total).
  bool Written(std::size_t i) const { return Selected[i] && !AfterTotal[i]; }
};

// The TotalSize in the header of the archive file `file`; nullopt when the file is too
// short to hold a header (nothing of it is expanded then). Throws what opening and reading
// the header throw.
std::optional<std::int64_t> ArchiveTotalSize(const platform::Machine& machine,
                                             const std::string& file);
// The same from a stream over the archive (read from its start).
std::optional<std::int64_t> ArchiveTotalSize(platform::ByteStream& archive);

// Audits one archive from its listing. `totalSize` as ArchiveTotalSize gives it;
// `listNames` the names of its list file (null for a single archive file: every entry is
// selected). Findings: ListNameUnmatched, UnknownMethod, AfterTotalSize, NoArchive.
ArchiveAudit AuditArchive(const container::TCompressedFileList& listing,
                          std::optional<std::int64_t> totalSize,
                          const std::vector<std::string>* listNames, const ArchivePlace& place,
                          FindingSink& sink);

// The index in `listing` of the entry whose header is at `position`; npos when none is.
std::size_t IndexOf(const container::TCompressedFileList& listing, std::int64_t position);

// The file names entries are written to when every file goes into one folder, across the
// archives of a medium; a second entry of the same name is a NamesCollide finding. Letter
// case is ignored (the setup's Windows machine) unless `keepCase` (a host folder). With
// `wholePaths` the names are the entries' paths below their archive's folder instead (files
// kept in their folders), and only the very same path collides.
class FlatNames {
 public:
  explicit FlatNames(bool keepCase = false, bool wholePaths = false)
      : keepCase_(keepCase), wholePaths_(wholePaths) {}
  void Add(const ArchivePlace& place, const container::TListedEntry& entry, std::size_t index,
           FindingSink& sink);

 private:
  bool keepCase_;
  bool wholePaths_;
  std::map<std::string, std::pair<int, std::string>> seen_;  // name -> archive, stored name
};

}  // namespace nolvo::media
