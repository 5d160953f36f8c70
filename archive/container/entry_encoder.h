#pragma once
// Storing many entries into one archive with every core: the data of entries up to
// kWorkerEntryLimit bytes are encoded on worker threads into memory, a few entries ahead of
// the writer and at most kWorkerBytes of original bytes at a time (one entry always), and
// larger entries are encoded by the writer itself with the codec's own threads (whole
// entries on separate threads scale better than one entry split). The writer stores the entries in
// order, so the archive, the errors and the order in which they come are those of storing the
// entries one by one on one thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/container/archive_writer.h"
#include "archive/container/compressed_file_info.h"
#include "platform/byte_stream.h"

namespace nolvo::container {

// Entries above this size are encoded by the writer with the codec's threads.
inline constexpr std::int64_t kWorkerEntryLimit = 32 * 1024 * 1024;
// Original bytes of the entries the workers hold at a time (their output is in memory).
inline constexpr std::int64_t kWorkerBytes = 64 * 1024 * 1024;

struct TEntryJob {
  std::string StoredName;
  TCompressionMethod Method = TCompressionMethod::coLZH5;
  std::int32_t FileDate = 0;
  std::int16_t Attributes = 0x20;
  std::int64_t SizeHint = 0;  // the size seen when the jobs were made: who encodes it
  // Opens the entry's original bytes at their start; called on any thread.
  std::function<std::unique_ptr<platform::ByteStream>()> Open;
};

// Adds `jobs` to `writer` in order and returns their entries. `threads` (at least 1) is how
// many threads encode; with 1 every entry goes through AddEntry on the calling thread.
// `on_entry` (may be empty) is called on the calling thread before each entry is stored.
// The writer's progress and yield handlers are not called for entries encoded by workers.
// `worker_limit` replaces kWorkerEntryLimit (tests pass small ones).
TCompressedFileList AddEntriesInOrder(TArchiveWriter& writer, const std::vector<TEntryJob>& jobs,
                                      int threads, const std::function<void(std::size_t)>& on_entry,
                                      std::int64_t worker_limit = kWorkerEntryLimit);

}  // namespace nolvo::container
