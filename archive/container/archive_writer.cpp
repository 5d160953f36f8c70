#include "archive/container/archive_writer.h"

#include <limits>
#include <stdexcept>
#include <vector>

#include "archive/codec/codec_errors.h"
#include "archive/container/archive_header.h"
#include "archive/container/bounded_stream.h"
#include "archive/container/compress_errors.h"
#include "archive/container/entry_header.h"
#include "archive/container/listing.h"
#include "platform/le_bytes.h"

namespace nolvo::container {

namespace {

using Method = TCompressionMethod;
using platform::SeekOrigin;

constexpr std::int64_t kMaxField = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t kMaxName = static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max());

void WriteHeaderAt(platform::ByteStream& out, std::int64_t at, const TCompressEntryHeader& header) {
  const auto bytes = FormatEntryHeader(header);
  out.Seek(at, SeekOrigin::soBeginning);
  out.WriteAll(bytes.data(), bytes.size());
}

// Copies the original bytes unchanged and returns their sum.
std::uint32_t CopyStored(platform::ByteStream& out, platform::ByteStream& source,
                         std::int64_t size) {
  std::vector<std::uint8_t> buffer(8192);
  std::uint32_t sum = 0;
  while (size > 0) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(size, 8192));
    const std::size_t got = source.Read(buffer.data(), want);
    if (got == 0) throw platform::EStreamError("Stream read error");
    for (std::size_t i = 0; i < got; ++i) sum += buffer[i];
    out.WriteAll(buffer.data(), got);
    size -= static_cast<std::int64_t>(got);
  }
  return sum;
}

// Writes the stored form of a codec or copy entry at the position of `out`: the codec's
// output, or the original bytes when the method cannot make them shorter.
TEncodedData WriteData(const codec::CodecComponent& codec, platform::ByteStream& out,
                       platform::ByteStream& source, std::int64_t size, Method method) {
  TEncodedData data;
  data.Method = method;
  const std::int64_t data_at = out.Position();
  const std::int64_t source_at = source.Position();
  if (IsCodecMethod(method)) {
    try {
      std::int32_t checksum = 0;
      codec::RunCodec(codec, out, source, static_cast<std::int32_t>(size),
                      static_cast<std::int32_t>(size), method, checksum,
                      codec::TCodecDirection::cdCompress);
      data.Sum = static_cast<std::uint32_t>(checksum);
      data.LockLevel = codec.Key != 0 ? kLockScrambled : 0;
      return data;
    } catch (const codec::EUnableToCompress&) {
      // The budget is the original size less a margin of at least 0, so the partial output
      // never reaches past the copy that replaces it.
      data.Method = Method::coNone;
    }
  }
  source.Seek(source_at, SeekOrigin::soBeginning);
  out.Seek(data_at, SeekOrigin::soBeginning);
  data.Sum = CopyStored(out, source, size);
  data.LockLevel = codec.Key != 0 ? 1 : 0;
  return data;
}

}  // namespace

TArchiveWriter::TArchiveWriter(platform::ByteStream& out, TWriterSettings settings)
    : out_(out), settings_(std::move(settings)), start_(out.Position()) {
  const auto bytes =
      FormatArchiveHeader(NewArchiveHeader(settings_.ArchiveMethod, settings_.Codec.Key));
  out_.WriteAll(bytes.data(), bytes.size());
  end_ = start_ + static_cast<std::int64_t>(bytes.size());
}

TCompressionMethod TArchiveWriter::CheckEntry(const std::string& stored_name, std::int64_t size,
                                              TCompressionMethod method) const {
  if (stored_name.size() > kMaxName) {
    throw EArchiveLimit("File name too long for a compressed archive: " + stored_name);
  }
  if (size < 0 || size > kMaxField) {
    throw EArchiveLimit("File too large for a compressed archive: " + stored_name);
  }
  if (total_ + size > kMaxField) {
    throw EArchiveLimit("Compressed archive would pass 2147483647 bytes of files at " +
                        stored_name);
  }
  if (static_cast<std::uint8_t>(method) > static_cast<std::uint8_t>(Method::coLZH5)) {
    throw std::invalid_argument("Unknown compression method for " + stored_name);
  }
  if (method == Method::coCustom && !settings_.OnCompress) {
    throw std::invalid_argument("coCustom needs an OnCompress handler: " + stored_name);
  }
  return size == 0 ? Method::coNone : method;
}

std::int64_t TArchiveWriter::BeginEntry(const std::string& stored_name, std::int64_t size,
                                        std::int32_t file_date, std::int16_t attributes) {
  // The header is written twice: a placeholder now, the final one once the sizes are known.
  header_ = TCompressEntryHeader{};
  header_.NameLength = static_cast<std::int16_t>(stored_name.size());
  header_.FileDate = file_date;
  header_.Attributes = attributes;
  header_.OriginalSize = static_cast<std::int32_t>(size);
  WriteHeaderAt(out_, end_, header_);
  out_.WriteAll(stored_name.data(), stored_name.size());
  return end_;
}

TCompressedFileInfo TArchiveWriter::EndEntry(const std::string& stored_name, std::int64_t entry_at,
                                             std::int64_t size, const TEncodedData& data) {
  const std::int64_t data_at =
      entry_at + kEntryHeaderSize + static_cast<std::int64_t>(stored_name.size());
  const std::int64_t data_end = out_.Position();
  if (data_end - data_at > kMaxField) {
    throw EArchiveLimit("Stored data too large for a compressed archive: " + stored_name);
  }
  header_.Method = data.Method;
  header_.LockLevel = data.LockLevel;
  header_.CompressedSize = static_cast<std::int32_t>(data_end - data_at);
  header_.Checksum =
      data.Sum + (data.LockLevel > 0 ? static_cast<std::uint32_t>(settings_.Codec.Key) : 0u);
  WriteHeaderAt(out_, entry_at, header_);
  out_.Seek(data_end, SeekOrigin::soBeginning);
  end_ = data_end;
  total_ += size;
  ++entries_;

  return MakeFileInfo(header_, entry_at - start_);
}

TCompressedFileInfo TArchiveWriter::AddEntry(const std::string& stored_name,
                                             platform::ByteStream& source, std::int64_t size,
                                             TCompressionMethod method, std::int32_t file_date,
                                             std::int16_t attributes) {
  method = CheckEntry(stored_name, size, method);
  const std::int64_t entry_at = BeginEntry(stored_name, size, file_date, attributes);
  TEncodedData data;
  if (method == Method::coCustom) {
    TBoundedStream original(source, size);
    std::string compress_id = MethodIdText(settings_.ArchiveMethod);
    std::int32_t output_size = static_cast<std::int32_t>(size);
    settings_.OnCompress(out_, original, compress_id, output_size, data.Sum);
    data.Method = Method::coCustom;
    data.LockLevel = settings_.Codec.Key != 0 ? 1 : 0;
  } else {
    data = WriteData(settings_.Codec, out_, source, size, method);
  }
  return EndEntry(stored_name, entry_at, size, data);
}

TEncodedData TArchiveWriter::EncodeData(const codec::CodecComponent& codec,
                                        platform::ByteStream& source, std::int64_t size,
                                        TCompressionMethod method) {
  if (method == Method::coCustom)
    throw std::invalid_argument("coCustom entries are stored through the writer");
  platform::MemoryStream out;
  TEncodedData data = WriteData(codec, out, source, size, size == 0 ? Method::coNone : method);
  data.Bytes = std::move(out.Bytes());
  return data;
}

TCompressedFileInfo TArchiveWriter::AddEncoded(const std::string& stored_name, std::int64_t size,
                                               const TEncodedData& data, std::int32_t file_date,
                                               std::int16_t attributes) {
  CheckEntry(stored_name, size, data.Method);
  const std::int64_t entry_at = BeginEntry(stored_name, size, file_date, attributes);
  out_.WriteAll(data.Bytes.data(), data.Bytes.size());
  return EndEntry(stored_name, entry_at, size, data);
}

void TArchiveWriter::Finish() {
  // A reader stops once the entries passed add up to TotalSize; at 0 it would not even
  // start, so an archive of empty files only records 1 and is read to its end.
  const std::int64_t recorded = total_ == 0 && entries_ > 0 ? 1 : total_;
  std::uint8_t total[4];
  platform::PutInt32(total, static_cast<std::int32_t>(recorded));
  out_.Seek(start_ + 8, SeekOrigin::soBeginning);
  out_.WriteAll(total, sizeof total);
  out_.Seek(end_, SeekOrigin::soBeginning);
}

}  // namespace nolvo::container
