#pragma once
// Building a compressed archive: the header of a new archive, then one entry per file,
// each stored with its own method through the codec run. An entry that its method cannot
// make smaller is stored as coNone. With a key, entries are locked: codec-run entries are
// scrambled (lock level 2), copies and coCustom entries are locked without scrambling
// (lock level 1), and every checksum holds the byte sum plus the key.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/codec/codec_run.h"
#include "archive/container/compress_events.h"
#include "archive/container/compressed_file_info.h"
#include "archive/container/entry_header.h"
#include "platform/byte_stream.h"

namespace nolvo::container {

struct TWriterSettings {
  // Progress handler, key and size margin for the codec run. The margin defaults to 1, so
  // an entry its method cannot make shorter is stored as a copy.
  codec::CodecComponent Codec = [] {
    codec::CodecComponent c;
    c.SizeMargin = 1;
    return c;
  }();
  TCompressEvent OnCompress;                                      // stores coCustom entries
  TCompressionMethod ArchiveMethod = TCompressionMethod::coLZH5;  // the id in the header
};

// One entry's data in its stored form, made apart from any archive so that entries can be
// encoded on several threads and stored in order afterwards.
struct TEncodedData {
  TCompressionMethod Method = TCompressionMethod::coNone;  // coNone when stored as a copy
  std::uint8_t LockLevel = 0;
  std::uint32_t Sum = 0;  // byte sum of the original bytes
  std::vector<std::uint8_t> Bytes;
};

class TArchiveWriter {
 public:
  // Writes the header of a new archive at the position of `out` (normally its start); the
  // entries follow it.
  TArchiveWriter(platform::ByteStream& out, TWriterSettings settings);

  // Stores `size` bytes of `source`, read from its current position, as the next entry.
  // `stored_name` is written as given (backslash separators, no terminator). An empty file
  // is always stored as coNone. Throws EArchiveLimit when the name passes 32767 bytes, the
  // size passes 2147483647 or the archive's total would; std::invalid_argument for a method
  // above coLZH5 or coCustom without an OnCompress handler; EStreamError when the source
  // ends early; the codec's errors other than EUnableToCompress.
  TCompressedFileInfo AddEntry(const std::string& stored_name, platform::ByteStream& source,
                               std::int64_t size, TCompressionMethod method, std::int32_t file_date,
                               std::int16_t attributes);

  // What AddEntry checks before it reads anything, with the same errors; returns the method
  // the entry is stored with when it encodes (coNone for an empty file).
  TCompressionMethod CheckEntry(const std::string& stored_name, std::int64_t size,
                                TCompressionMethod method) const;

  // Encodes `size` bytes of `source` into memory as AddEntry would store them with `codec`
  // (key, margin and threads). Safe on any thread; coCustom needs the writer (AddEntry).
  static TEncodedData EncodeData(const codec::CodecComponent& codec, platform::ByteStream& source,
                                 std::int64_t size, TCompressionMethod method);

  // Stores data EncodeData made as the next entry: the same bytes AddEntry writes. Checks
  // the entry first, as AddEntry does.
  TCompressedFileInfo AddEncoded(const std::string& stored_name, std::int64_t size,
                                 const TEncodedData& data, std::int32_t file_date,
                                 std::int16_t attributes);

  // Writes the archive's TotalSize (the sum of the original sizes; 1 when every entry is
  // empty, so that a reader, which stops once the entries passed add up to TotalSize,
  // still reads them all) into the header and leaves `out` at the end of the archive.
  // Entries are written in the order they are added: a caller puts empty files first,
  // since a reader never reaches an entry after the point where the total is met.
  void Finish();

  std::int64_t TotalSize() const { return total_; }  // the sum of the original sizes
  const TWriterSettings& Settings() const { return settings_; }

 private:
  // Writes the entry's header and name at the end of the archive, leaving `out_` where
  // its data go; returns where the entry starts.
  std::int64_t BeginEntry(const std::string& stored_name, std::int64_t size, std::int32_t file_date,
                          std::int16_t attributes);
  // Rewrites the entry's header with the sizes now known and moves the end past its data.
  TCompressedFileInfo EndEntry(const std::string& stored_name, std::int64_t entry_at,
                               std::int64_t size, const TEncodedData& data);

  platform::ByteStream& out_;
  TWriterSettings settings_;
  std::int64_t start_;  // where the archive header is
  std::int64_t end_;    // where the next entry goes
  std::int64_t total_ = 0;
  std::size_t entries_ = 0;
  TCompressEntryHeader header_;  // of the entry being added
};

}  // namespace nolvo::container
