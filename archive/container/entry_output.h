#pragma once
// The output file of one entry while its bytes are expanded into it.

#include <memory>
#include <string>

#include "archive/container/compressed_file_info.h"
#include "archive/container/write_buffer.h"
#include "platform/host_file_stream.h"

namespace nolvo::container {

struct TEntryOutput {
  TListedEntry Listed;
  std::string Path;
  std::unique_ptr<platform::HostFileStream> File;
  std::unique_ptr<platform::ByteStream> Observed;  // what OnEntryOutput answered, or null
  std::unique_ptr<TWriteBuffer> Buffered;          // the entry is expanded into this
};

}  // namespace nolvo::container
