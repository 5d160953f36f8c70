#include "archive/container/entry_walk.h"

#include <array>

#include "archive/container/compress_errors.h"

namespace nolvo::container {

using platform::SeekOrigin;

std::size_t ReadFully(platform::ByteStream& stream, void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const std::size_t got = stream.Read(out + done, count - done);
    if (got == 0) break;
    done += got;
  }
  return done;
}

TArchiveStart ReadArchiveHeader(platform::ByteStream& archive,
                                const TRecognizeEvent& on_recognize) {
  TArchiveStart start;
  if (archive.Size() - archive.Position() < static_cast<std::int64_t>(kArchiveHeaderSize)) {
    start.Header = NewArchiveHeader(TCompressionMethod::coNone, 0);
    start.Assumed = true;
    return start;
  }
  std::array<std::uint8_t, kArchiveHeaderSize> bytes{};
  if (ReadFully(archive, bytes.data(), bytes.size()) != bytes.size()) throw EInvalidHeader();
  start.Header = ParseArchiveHeader(bytes);
  if (const auto method = MethodFromId(start.Header.MethodId)) {
    start.Method = *method;
    return start;
  }
  bool recognized = false;
  if (on_recognize) on_recognize(start.Header.MethodId, recognized);
  if (!recognized) throw EUnrecognizedCompressionMethod(start.Header.MethodId);
  start.Method = TCompressionMethod::coCustom;
  return start;
}

TEntryWalker::TEntryWalker(platform::ByteStream& archive)
    : archive_(archive), size_(archive.Size()), next_(archive.Position()) {}

bool TEntryWalker::Next(TArchiveEntry& entry, bool tail_may_end) {
  // Past the archive's total whatever follows only ends it; before, it is damage.
  const auto damaged = [tail_may_end](EDamagedArchive::Reason reason) {
    if (!tail_may_end) throw EDamagedArchive(reason);
    return false;
  };
  if (archive_.Position() != next_) archive_.Seek(next_, SeekOrigin::soBeginning);
  std::array<std::uint8_t, kEntryHeaderSize> bytes{};
  const std::size_t got = ReadFully(archive_, bytes.data(), bytes.size());
  if (got == 0) return false;
  if (got < bytes.size()) return damaged(EDamagedArchive::Reason::kShortEntryHeader);

  // A negative OriginalSize is no damage: decoders write nothing for it, a stored copy
  // goes by CompressedSize.
  const TCompressEntryHeader header = ParseEntryHeader(bytes);
  if (header.NameLength < 0 || header.CompressedSize < 0) {
    return damaged(EDamagedArchive::Reason::kNegativeLength);
  }
  const std::int64_t name_start = next_ + static_cast<std::int64_t>(kEntryHeaderSize);
  const std::int64_t data_start = name_start + header.NameLength;
  if (data_start > size_) return damaged(EDamagedArchive::Reason::kNameTooLong);
  if (data_start + header.CompressedSize > size_) {
    return damaged(EDamagedArchive::Reason::kDataTooLong);
  }

  std::string name(static_cast<std::size_t>(header.NameLength), '\0');
  if (ReadFully(archive_, name.data(), name.size()) != name.size()) {
    return damaged(EDamagedArchive::Reason::kNameTooLong);
  }
  entry.Header = header;
  entry.Name = std::move(name);
  entry.EntryPosition = next_;
  entry.DataStart = data_start;
  next_ = entry.DataEnd();
  return true;
}

void TEntryWalker::SeekToData(const TArchiveEntry& entry) {
  archive_.Seek(entry.DataStart, SeekOrigin::soBeginning);
}

}  // namespace nolvo::container
