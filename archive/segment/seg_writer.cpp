#include "archive/segment/seg_writer.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <system_error>

#include "archive/container/archive_writer.h"
#include "archive/container/compress_errors.h"
#include "archive/container/entry_encoder.h"
#include "archive/segment/seg_arc_header.h"
#include "archive/segment/seg_header.h"
#include "archive/segment/seg_scan_header.h"
#include "archive/segment/segment_sink.h"
#include "platform/host_file_stream.h"

namespace nolvo::segment {

namespace {

namespace fs = std::filesystem;
using platform::HostFileStream;
using Method = container::TCompressionMethod;

void CheckArchive(const TSegWriteArchive& archive) {
  if (archive.Template.empty() ||
      archive.Template.size() >= static_cast<std::size_t>(kSegMaxRecordLength) ||
      archive.Template.find('\0') != std::string::npos)
    throw std::invalid_argument("template must be 1 to 8191 bytes without a zero byte");
  if (archive.RecordLength < 1 || archive.RecordLength > kSegMaxRecordLength)
    throw std::invalid_argument("record length must be 1 to 8192");
  for (const TSegWriteFile& file : archive.Files) {
    const std::string& name = file.StoredName;
    if (name.empty() || name.size() > static_cast<std::size_t>(archive.RecordLength) ||
        name.find('\0') != std::string::npos || name.back() == ' ')
      throw std::invalid_argument("stored name \"" + name + "\" does not fit a list record of " +
                                  std::to_string(archive.RecordLength) + " bytes");
  }
}

// The list file: one record of RecordLength bytes per stored name, zero-padded.
std::vector<std::uint8_t> ListFile(const TSegWriteArchive& archive) {
  std::vector<std::uint8_t> records;
  records.reserve(archive.Files.size() * static_cast<std::size_t>(archive.RecordLength));
  for (const TSegWriteFile& file : archive.Files) {
    records.insert(records.end(), file.StoredName.begin(), file.StoredName.end());
    records.resize(records.size() + static_cast<std::size_t>(archive.RecordLength) -
                   file.StoredName.size());
  }
  return records;
}

// The list archive, in memory: one entry holding the list file. It is never locked, so
// that it reads the same with or without the key.
std::vector<std::uint8_t> ListArchive(const TSegWriteArchive& archive) {
  platform::MemoryStream listFile(ListFile(archive));
  platform::MemoryStream out;
  container::TWriterSettings settings;
  settings.ArchiveMethod = Method::coLZH5;
  container::TArchiveWriter writer(out, settings);
  writer.AddEntry("files.lst", listFile, listFile.Size(), Method::coLZH5, 0, 0x20);
  writer.Finish();
  return std::move(out.Bytes());
}

// A temporary file that is removed, with whatever it holds, when the guard goes.
struct WorkFile {
  explicit WorkFile(fs::path p) : path(std::move(p)) {
    std::error_code ec;
    fs::remove(path, ec);
    stream = std::make_unique<HostFileStream>(path, HostFileStream::Mode::mdCreateNew);
  }
  ~WorkFile() {
    stream.reset();
    std::error_code ec;
    fs::remove(path, ec);
  }
  fs::path path;
  std::unique_ptr<HostFileStream> stream;
};

// Builds archive `index` into `work` and returns its entries.
container::TCompressedFileList BuildArchive(const TSegWriterSettings& settings, std::size_t index,
                                            const TSegWriteArchive& archive, HostFileStream& work) {
  container::TWriterSettings writerSettings;
  writerSettings.Codec.Key = settings.Key;
  writerSettings.Codec.Threads = std::max(settings.Threads, 1);
  writerSettings.ArchiveMethod = settings.ArchiveMethod;
  container::TArchiveWriter writer(work, writerSettings);
  // Empty files go first: a reader stops once the entries it has passed add up to the
  // archive's total, so an empty file after the last byte counted would never be written.
  std::vector<container::TEntryJob> empty, later;
  std::vector<const TSegWriteFile*> emptyFiles, laterFiles;
  for (const TSegWriteFile& file : archive.Files) {
    container::TEntryJob job;
    job.StoredName = file.StoredName;
    job.Method = file.Method;
    job.FileDate = file.FileDate;
    job.Attributes = file.Attributes;
    job.SizeHint = HostFileStream(file.Source, HostFileStream::Mode::mdRead).Size();
    job.Open = [path = file.Source]() -> std::unique_ptr<platform::ByteStream> {
      return std::make_unique<HostFileStream>(path, HostFileStream::Mode::mdRead);
    };
    const bool isEmpty = job.SizeHint == 0;
    (isEmpty ? empty : later).push_back(std::move(job));
    (isEmpty ? emptyFiles : laterFiles).push_back(&file);
  }
  empty.insert(empty.end(), std::make_move_iterator(later.begin()),
               std::make_move_iterator(later.end()));
  emptyFiles.insert(emptyFiles.end(), laterFiles.begin(), laterFiles.end());
  const auto onEntry = [&](std::size_t i) {
    if (settings.OnFile) settings.OnFile(index, *emptyFiles[i]);
  };
  container::TCompressedFileList entries =
      container::AddEntriesInOrder(writer, empty, std::max(settings.Threads, 1), onEntry);
  writer.Finish();
  return entries;
}

}  // namespace

TSegWriteResult WriteSegmentedArchive(const TSegWriterSettings& settings,
                                      const std::vector<TSegWriteArchive>& archives) {
  if (archives.size() > std::numeric_limits<std::uint16_t>::max())
    throw std::invalid_argument("a segmented archive holds at most 65535 archives");
  for (const TSegWriteArchive& archive : archives) CheckArchive(archive);

  TSegmentSink sink(settings.Dir, settings.BaseName, settings.SegSize);
  TSegHeader header;
  header.ArchiveCount = static_cast<std::uint16_t>(archives.size());
  const auto headerBytes = FormatSegHeader(header);
  sink.WriteAll(headerBytes.data(), headerBytes.size());

  for (const TSegWriteArchive& archive : archives) {
    const std::vector<std::uint8_t> list = ListArchive(archive);
    if (list.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
      throw container::EArchiveLimit("list archive larger than 2147483647 bytes");
    TSegScanHeader scan;
    scan.TemplateLength = static_cast<std::uint16_t>(archive.Template.size() + 1);
    scan.Flags = archive.Flags;
    scan.RecordLength = archive.RecordLength;
    scan.ArchiveLength = static_cast<std::int32_t>(list.size());
    const auto scanBytes = FormatSegScanHeader(scan);
    sink.WriteAll(scanBytes.data(), scanBytes.size());
    sink.WriteAll(archive.Template.c_str(), archive.Template.size() + 1);
    sink.WriteAll(list.data(), list.size());
  }

  TSegWriteResult result;
  for (std::size_t i = 0; i < archives.size(); ++i) {
    WorkFile work(settings.Dir / (settings.BaseName + ".$W$"));
    result.Archives.push_back(BuildArchive(settings, i, archives[i], *work.stream));
    const std::int64_t length = work.stream->Size();
    if (length > std::numeric_limits<std::int32_t>::max())
      throw container::EArchiveLimit("archive larger than 2147483647 bytes");
    TSegArcHeader arcHeader;
    arcHeader.SequenceNumber = static_cast<std::uint16_t>(i);
    arcHeader.ArchiveLength = static_cast<std::int32_t>(length);
    const auto arcBytes = FormatSegArcHeader(arcHeader);
    sink.WriteAll(arcBytes.data(), arcBytes.size());
    work.stream->Seek(0, platform::SeekOrigin::soBeginning);
    sink.CopyFrom(*work.stream, length);
  }
  result.StreamSize = sink.Position();
  result.Segments = sink.Finish();
  return result;
}

}  // namespace nolvo::segment
