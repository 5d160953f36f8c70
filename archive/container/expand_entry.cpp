#include "archive/container/expand_entry.h"

#include "archive/codec/codec_errors.h"
#include "archive/container/bounded_stream.h"
#include "archive/container/compress_errors.h"

namespace nolvo::container {

namespace {

using Method = TCompressionMethod;

std::uint32_t RunEntryCodec(const TArchiveEntry& entry, platform::ByteStream& archive,
                            platform::ByteStream& dest, const TExpandSettings& settings) {
  const TCompressEntryHeader& h = entry.Header;
  TBoundedStream data(archive, h.CompressedSize);
  std::int32_t checksum = 0;
  try {
    codec::RunCodec(settings.Codec, dest, data, h.CompressedSize, h.OriginalSize, h.Method,
                    checksum,
                    h.LockLevel == kLockScrambled ? codec::TCodecDirection::cdExpandKeyed
                                                  : codec::TCodecDirection::cdExpand);
  } catch (const codec::ELZHBadDecodeTable&) {
    if (h.Locked()) throw EInvalidKey();
    throw;
  } catch (const codec::ETruncatedData&) {
    if (h.Locked()) throw EInvalidKey();
    throw;
  } catch (const codec::EExpandOverrun&) {
    if (h.Locked()) throw EInvalidKey();
    throw;
  }
  return static_cast<std::uint32_t>(checksum);
}

}  // namespace

void ExpandEntry(const TArchiveEntry& entry, platform::ByteStream& archive,
                 platform::ByteStream& dest, const TExpandSettings& settings) {
  const TCompressEntryHeader& h = entry.Header;
  const std::int32_t key = settings.Codec.Key;
  if (h.Method != Method::coNone && h.Locked() && key == 0) throw EInvalidKey();

  archive.Seek(entry.DataStart, platform::SeekOrigin::soBeginning);
  std::uint32_t computed = 0;
  if (h.Method == Method::coNone) {
    if (h.CompressedSize > 0) dest.CopyFrom(archive, h.CompressedSize);
    return;  // the checksum of a stored copy is never tested
  }
  if (IsCodecMethod(h.Method)) {
    computed = RunEntryCodec(entry, archive, dest, settings);
  } else if (h.Method == Method::coCustom && settings.OnExpand) {
    TBoundedStream data(archive, h.CompressedSize);
    settings.OnExpand(dest, data, h.CompressedSize, h.OriginalSize, settings.CompressID, computed);
  }

  if (computed == h.Checksum) return;
  if (!h.Locked()) throw EBadChecksum();
  if (computed + static_cast<std::uint32_t>(key) == h.Checksum) return;
  throw EInvalidKey();
}

}  // namespace nolvo::container
