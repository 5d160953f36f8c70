#pragma once
// One container archive file built from host files and folders, with its entry list
// (OUT.digests) beside it. The archive is written under a temporary name beside OUT and
// renamed over it only when it and its list are complete.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive/container/compressed_file_info.h"
#include "archive/container/compression_method.h"

namespace nolvo::media {

struct ArchiveCreateSettings {
  std::filesystem::path Out;
  // Files (stored by name) and folders (every file below, stored by the folder's name
  // and the path inside it).
  std::vector<std::string> Files;
  container::TCompressionMethod Method = container::TCompressionMethod::coLZH5;
  std::int32_t Key = 0;
  std::int32_t Threads = 1;  // at most kMostThreads are used; the archive is the same for any count
};

struct CreatedArchive {
  container::TCompressedFileList Entries;  // in archive order
  std::vector<std::string> Names;          // each entry's stored name in UTF-8
};

// Progress while the entries are stored: the number of files and the percentage done
// (the handler may not change it).
using ArchiveCreateProgress = std::function<void(std::size_t files, std::int32_t percent)>;

// Throws EMediaPath for a source, folder or name that cannot be used (nothing written
// then), and what the writer throws (the temporary archive removed).
CreatedArchive CreateArchive(const ArchiveCreateSettings& settings,
                             const ArchiveCreateProgress& progress);

}  // namespace nolvo::media
