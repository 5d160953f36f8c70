#pragma once
// The archive component never tests the checksum of an entry stored as it stands
// (coNone); the tool does, so that a damaged stored copy is not reported as good.

#include <cstdint>
#include <map>
#include <string>

#include "archive/container/compressed_file_info.h"
#include "platform/byte_stream.h"
#include "platform/machine.h"

namespace nolvo::media {

// Each coNone entry of `entries` (a listing of the archive `archiveFile`) whose stored
// bytes do not add up to its checksum (for a locked entry, the checksum less `key` is
// accepted too), or whose stored size is not its original size, by its EntryPosition, with
// what is wrong with it.
using StoredCopyFaults = std::map<std::int64_t, std::string>;
StoredCopyFaults BadStoredCopies(const platform::Machine& machine, const std::string& archiveFile,
                                 const container::TCompressedFileList& entries, std::int32_t key);
// The same over a stream of the archive.
StoredCopyFaults BadStoredCopies(platform::ByteStream& archive,
                                 const container::TCompressedFileList& entries, std::int32_t key);

}  // namespace nolvo::media
