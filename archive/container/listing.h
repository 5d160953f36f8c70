#pragma once
// Listing an archive's entries from an open stream.

#include "archive/container/compress_events.h"
#include "archive/container/compressed_file_info.h"
#include "archive/container/entry_header.h"
#include "platform/byte_stream.h"

namespace nolvo::container {

struct TArchiveEntry;

// The smallest archive that holds an entry: one archive header and one entry header.
inline constexpr std::int64_t kSmallestArchiveWithEntry = 46;

// Appends one TListedEntry per entry of the archive that starts at the beginning of
// `archive`, also those after the point where the original sizes add up to TotalSize. A
// file shorter than 46 bytes lists nothing (see CheckShortArchive). Throws the header errors
// of ReadArchiveHeader and EDamagedArchive for an archive cut inside an entry before that
// point (after it, a damaged tail just ends the listing); entries read before the damage
// are already in `list`.
void ListEntries(platform::ByteStream& archive, const TRecognizeEvent& on_recognize,
                 TCompressedFileList& list);

// For a file too short to hold an entry (under 46 bytes): throws EDamagedArchive when it
// was cut inside its first entry header, that is when bytes follow a sound archive header
// whose TotalSize promises entries, as reading its entries would. Anything else in such a
// file (no header, or one that does not read) lists nothing and raises nothing.
void CheckShortArchive(platform::ByteStream& archive, const TRecognizeEvent& on_recognize);

// The listing view of one entry header, which starts `entryPosition` bytes into the archive.
TCompressedFileInfo MakeFileInfo(const TCompressEntryHeader& header, std::int64_t entryPosition);
TCompressedFileInfo MakeFileInfo(const TArchiveEntry& entry);

}  // namespace nolvo::container
