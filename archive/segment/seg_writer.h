#pragma once
// Building a segmented archive on the host: the stream header, one scan record per
// archive (template text, flags, record length and a list archive whose one entry is the
// list file of stored names), then each archive behind its TSegArcHeader, cut into
// segment files <base>.001, <base>.002, ... of SegSize bytes in a host folder. The result
// is what TSegCompress reads.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive/container/compressed_file_info.h"
#include "archive/container/compression_method.h"

namespace nolvo::segment {

struct TSegWriteFile {
  std::filesystem::path Source;  // host file to store
  // Name in the archive and in the list file: a relative path with backslashes, at most
  // RecordLength bytes, no zero byte, no trailing space (the reader trims those).
  std::string StoredName;
  container::TCompressionMethod Method = container::TCompressionMethod::coLZH5;
  std::int32_t FileDate = 0;       // DOS date (high 16 bits) and time (low 16 bits)
  std::int16_t Attributes = 0x20;  // file attribute bits
};

struct TSegWriteArchive {
  std::string Template = "C:\\*.*";  // at most 8191 bytes
  std::uint8_t Flags = 0;
  std::int32_t RecordLength = 260;  // width of a list file record, 1 to 8192
  std::vector<TSegWriteFile> Files;
};

struct TSegWriterSettings {
  std::filesystem::path Dir;       // where the segment files go (must exist)
  std::string BaseName = "disk";   // segment file names <BaseName>.001, ...
  std::int32_t SegSize = 1440000;  // bytes per segment file, at least 16384
  std::int32_t Key = 0;            // locks every entry of the archives when not 0
  // The method id in each archive's header.
  container::TCompressionMethod ArchiveMethod = container::TCompressionMethod::coLZH5;
  // Threads that encode: entries on workers, large entries within (the archive is the same
  // for any count).
  std::int32_t Threads = 1;
  // Called before each file is stored (archive index, file); may be empty.
  std::function<void(std::size_t archive, const TSegWriteFile& file)> OnFile;
};

struct TSegWriteResult {
  std::vector<std::filesystem::path> Segments;           // the segment files, in order
  std::vector<container::TCompressedFileList> Archives;  // per archive, its entries in order
  std::int64_t StreamSize = 0;                           // bytes of logical stream
};

// Writes the segmented archive. Each archive stores its empty files first and then the
// others, each group in the order given (the list file keeps the given order). Each archive is
// built in a temporary file <Dir>/<BaseName>.$W$ that is removed on every path; on failure the
// segment files written so far are removed too. Segment files of the same base name after the last
// one written (left from an earlier, longer stream) are removed. Throws std::invalid_argument for a
// template, record length or stored name the format cannot carry (or more than 65535 archives),
// container::EArchiveLimit for sizes past the 32-bit fields, ESegError when more than 65535
// segments would be needed, and platform::EStreamError for a file that cannot be read or written.
TSegWriteResult WriteSegmentedArchive(const TSegWriterSettings& settings,
                                      const std::vector<TSegWriteArchive>& archives);

}  // namespace nolvo::segment
