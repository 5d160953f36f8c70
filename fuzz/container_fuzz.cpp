// Feeds arbitrary bytes to the archive reader: the header, the entry walk, the listing,
// and the expansion of every entry (all methods, locked or not) into a sink.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "archive/container/entry_walk.h"
#include "archive/container/expand_entry.h"
#include "archive/container/listing.h"
#include "platform/byte_stream.h"

using namespace nolvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  const container::TRecognizeEvent accept = [](const std::string&, bool& ok) { ok = true; };

  try {
    platform::MemoryStream listing(bytes);
    container::TCompressedFileList list;
    container::ListEntries(listing, accept, list);
  } catch (const std::exception&) {
  }

  try {
    platform::MemoryStream archive(bytes);
    const container::TArchiveStart start = container::ReadArchiveHeader(archive, accept);
    if (start.Assumed) return 0;
    container::TExpandSettings settings;
    settings.Codec.Key = size > 0 ? data[size - 1] : 0;  // locked entries take both paths
    settings.CompressID = start.Header.MethodId;
    container::TEntryWalker walker(archive);
    container::TArchiveEntry entry;
    while (walker.Next(entry)) {
      try {
        platform::NullStream sink;
        container::ExpandEntry(entry, archive, sink, settings);
      } catch (const std::exception&) {
      }
    }
  } catch (const std::exception&) {
  }
  return 0;
}
