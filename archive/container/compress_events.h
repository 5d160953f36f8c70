#pragma once
// The handler slots of the archive component. An empty slot is not called; in/out
// parameters are references the component reads back after the call.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "archive/codec/codec_run.h"
#include "platform/byte_stream.h"

namespace nolvo::container {

// What an OnCheckFile handler is asked about. Expansion passes pmExpanding (ordinal 1).
enum class TCProcessMode : std::uint8_t { pmCompressing = 0, pmExpanding = 1 };

// Compression-side handler for a coCustom entry: reads the original bytes from `source`,
// writes the stored form to `dest`; Outputsize comes in as the original size and goes out
// as the stored size, checksum goes out as the sum of the original bytes.
using TCompressEvent =
    std::function<void(platform::ByteStream& dest, platform::ByteStream& source,
                       std::string& CompressID, std::int32_t& Outputsize, std::uint32_t& checksum)>;

// Expands a coCustom entry: reads Sourcesize stored bytes from `source`, writes the file to
// `dest` and returns in checksum the value the checksum test compares.
using TExpandEvent = std::function<void(platform::ByteStream& dest, platform::ByteStream& source,
                                        std::int32_t Sourcesize, std::int32_t Destsize,
                                        const std::string& CompressID, std::uint32_t& checksum)>;

// Sees each output path before the file is written: leave it, change it, set it empty to
// skip the entry, or set it to "*" to stop the expansion.
using TFilenameCheckEvent = std::function<void(std::string& filepath, TCProcessMode mode)>;

// Asked about a method id that is none of the five; setting recognized accepts it as coCustom.
using TRecognizeEvent = std::function<void(const std::string& CompressID, bool& recognized)>;

// Progress of the entry being expanded, in percent of its stored bytes; set to -1 to end
// the entry's input.
using TShowProgressEvent = codec::TShowProgressEvent;

// Opens the archive an operation works on, afresh at each call: a new read-only stream
// over the same bytes, standing at their start (one per thread that reads the archive).
using TArchiveOpener = std::function<std::unique_ptr<platform::ByteStream>()>;

}  // namespace nolvo::container
