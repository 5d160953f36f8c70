#include "tests/support/seg_media.h"

#include <algorithm>
#include <random>

#include "archive/container/archive_writer.h"
#include "archive/segment/seg_arc_header.h"
#include "archive/segment/seg_header.h"
#include "archive/segment/seg_id_header.h"
#include "tests/support/temp_dir.h"

namespace nolvo::segment::test {

Bytes RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  Bytes out(n);
  // Runs of repeated bytes so that the codecs have something to compress.
  for (std::size_t i = 0; i < n; ++i)
    out[i] = static_cast<std::uint8_t>(gen() % 7 == 0 ? gen() : i / 13);
  return out;
}

Bytes NoiseBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(gen());
  return out;
}

Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes MakeArchive(const std::vector<std::pair<std::string, Bytes>>& files,
                  container::TCompressionMethod method) {
  platform::MemoryStream out;
  container::TArchiveWriter writer(out, container::TWriterSettings{});
  for (const auto& [name, content] : files) {
    platform::MemoryStream source(content);
    writer.AddEntry(name, source, source.Size(), method, 0x21A86000, 0x20);
  }
  writer.Finish();
  return out.Bytes();
}

Bytes SegHeaderRecord(std::uint16_t archiveCount) {
  TSegHeader header;
  header.ArchiveCount = archiveCount;
  const auto bytes = FormatSegHeader(header);
  return Bytes(bytes.begin(), bytes.end());
}

Bytes ScanRecordRaw(const TSegScanHeader& header, const Bytes& tail) {
  const auto bytes = FormatSegScanHeader(header);
  Bytes out(bytes.begin(), bytes.end());
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

Bytes ScanRecord(const std::string& templ, std::int32_t recordLength, const Bytes& listArchive,
                 std::uint8_t flags) {
  TSegScanHeader header;
  header.TemplateLength = static_cast<std::uint16_t>(templ.size() + 1);
  header.Flags = flags;
  header.RecordLength = recordLength;
  header.ArchiveLength = static_cast<std::int32_t>(listArchive.size());
  Bytes tail(templ.begin(), templ.end());
  tail.push_back(0);
  tail.insert(tail.end(), listArchive.begin(), listArchive.end());
  return ScanRecordRaw(header, tail);
}

Bytes ArcRecord(std::uint16_t sequence, const Bytes& archive) {
  TSegArcHeader header;
  header.SequenceNumber = sequence;
  header.ArchiveLength = static_cast<std::int32_t>(archive.size());
  const auto bytes = FormatSegArcHeader(header);
  Bytes out(bytes.begin(), bytes.end());
  out.insert(out.end(), archive.begin(), archive.end());
  return out;
}

Bytes ListFile(const std::vector<std::string>& names, std::int32_t recordLength) {
  Bytes out;
  for (const auto& name : names) {
    Bytes record(static_cast<std::size_t>(recordLength), 0);
    std::copy_n(name.begin(), std::min(name.size(), record.size()), record.begin());
    out.insert(out.end(), record.begin(), record.end());
  }
  return out;
}

std::vector<std::filesystem::path> WriteSegments(const std::filesystem::path& dir,
                                                 const Bytes& stream,
                                                 std::vector<std::size_t> slices,
                                                 const std::string& base) {
  std::vector<std::filesystem::path> files;
  std::size_t at = 0;
  for (std::size_t i = 0; at < stream.size() || i < slices.size(); ++i) {
    const std::size_t size =
        i < slices.size() ? std::min(slices[i], stream.size() - at) : stream.size() - at;
    TSegIdHeader id;
    id.SegmentNumber = static_cast<std::uint16_t>(i + 1);
    const auto idBytes = FormatSegIdHeader(id);
    std::vector<unsigned char> content(idBytes.begin(), idBytes.end());
    content.insert(content.end(), stream.begin() + static_cast<std::ptrdiff_t>(at),
                   stream.begin() + static_cast<std::ptrdiff_t>(at + size));
    char ext[16];
    std::snprintf(ext, sizeof ext, ".%03zu", i + 1);
    files.push_back(dir / (base + ext));
    nolvo::test::WriteBytes(files.back(), content);
    at += size;
  }
  return files;
}

std::vector<std::string> FilesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  if (!std::filesystem::exists(dir)) return names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace nolvo::segment::test
