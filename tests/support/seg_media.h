#pragma once
// Building segmented media for the reader's tests: real archives made by the writer, or
// hand-made streams (for damaged input) cut into segment files of chosen sizes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/container/compression_method.h"
#include "archive/segment/seg_scan_header.h"
#include "platform/machine.h"

namespace nolvo::segment::test {

using Bytes = std::vector<std::uint8_t>;

// Compressible pseudo-random bytes (runs with noise), and plain noise.
Bytes RandomBytes(std::size_t n, unsigned seed);
Bytes NoiseBytes(std::size_t n, unsigned seed);
Bytes TextBytes(const std::string& text);

// A compressed archive file in memory holding `files` (stored name, content), each with
// `method`.
Bytes MakeArchive(const std::vector<std::pair<std::string, Bytes>>& files,
                  container::TCompressionMethod method = container::TCompressionMethod::coLZH5);

// Pieces of a logical stream.
Bytes SegHeaderRecord(std::uint16_t archiveCount);
// A scan record: header, template text (zero-terminated, TemplateLength = size + 1 unless
// given) and list archive.
Bytes ScanRecord(const std::string& templ, std::int32_t recordLength, const Bytes& listArchive,
                 std::uint8_t flags = 0);
Bytes ScanRecordRaw(const TSegScanHeader& header, const Bytes& tail);
Bytes ArcRecord(std::uint16_t sequence, const Bytes& archive);
// A list file of fixed-width records.
Bytes ListFile(const std::vector<std::string>& names, std::int32_t recordLength);

// Writes `stream` as segment files <dir>/<base>.001, ... whose slices have the sizes in
// `slices` (the last slice takes the rest when the sizes do not cover the stream).
std::vector<std::filesystem::path> WriteSegments(const std::filesystem::path& dir,
                                                 const Bytes& stream,
                                                 std::vector<std::size_t> slices,
                                                 const std::string& base = "disk");

// Names of the files in a host folder (for "nothing left behind").
std::vector<std::string> FilesIn(const std::filesystem::path& dir);

}  // namespace nolvo::segment::test
