#pragma once
// The listing of a medium or an archive file, with the warnings of the outcome table that
// a listing can give (names of a list file that match no entry, entries past the total,
// names that flatten to one, damaged digest lists) and the note when there are no digest
// lists.

#include <functional>

#include "archive/container/compressed_file_info.h"
#include "archive/media/media_reader.h"
#include "archive/stage/media_report.h"

namespace nolvo::media {

struct ListEvents {
  std::function<void(const stage::MediaFinding&)> OnFinding;  // each finding as it is made
  // Each archive with its entries, in order.
  std::function<void(const MediaArchive& archive, const container::TCompressedFileList& entries)>
      OnArchive;
};

// Throws EMediaPath, and EMediumRefused when the read of the medium failed (recorded in
// `report` first).
void ListMedium(const MediaLocation& location, const ListEvents& events,
                stage::MediaReport& report);

}  // namespace nolvo::media
