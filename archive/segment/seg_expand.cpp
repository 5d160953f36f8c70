// The whole read of a segmented archive: the scan phase and the expansion phase.

#include <algorithm>
#include <vector>

#include "archive/codec/codec_run.h"
#include "archive/container/entry_walk.h"
#include "archive/container/expand_entry.h"
#include "archive/container/write_buffer.h"
#include "archive/segment/seg_compress.h"
#include "archive/segment/seg_error.h"
#include "archive/segment/seg_header.h"
#include "archive/segment/seg_list_names.h"
#include "archive/segment/seg_names.h"
#include "archive/segment/seg_scan_header.h"
#include "archive/segment/seg_temp_file.h"

namespace nolvo::segment {

namespace {

// The joined archive file is written in pieces of this size.
constexpr std::size_t kJoinedWriteSize = 256 * 1024;

// Text of a fixed-width field: up to its first zero byte.
std::string FieldText(const std::uint8_t* bytes, std::size_t size) {
  const auto* end = std::find(bytes, bytes + size, std::uint8_t{0});
  return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(end - bytes));
}

}  // namespace

struct TSegCompress::ReadSession {
  ReadSession(TSegmentSpan::OpenFn open, TSegmentSpan::DoneFn done, TSegmentSpan::PumpFn pump)
      : Span(std::move(open), std::move(done), std::move(pump)), Buffer(kSegBlockSize) {}
  TSegmentSpan Span;
  std::vector<std::uint8_t> Buffer;  // kSegBlockSize bytes
};

void TSegCompress::NoteRemaining(const ReadSession& session) {
  seg_remaining_ = session.Span.SegRemaining();
}

void TSegCompress::ExpandSegArcs(TSegArcList& SegArcList) {
  aborted_ = false;
  seg_mode_ = TSegMode::smReading;
  // SegRemaining speaks of this read only while it runs, whichever way it ends.
  struct Scope {
    TSegCompress& self;
    ~Scope() { self.seg_remaining_ = 0; }
  } scope{*this};
  // The callbacks run only while the span (a part of the session) exists.
  ReadSession session(
      [this, &session](std::uint16_t n) {
        NoteRemaining(session);
        return OpenSegment(n);
      },
      [this, &session](std::uint16_t) {
        NoteRemaining(session);
        // The names still describe the segment just finished.
        if (OnSegAfter) OnSegAfter(seg_mode_, seg_name_, seg_number_);
      },
      [this, &session] {
        NoteRemaining(session);
        Pump();
      });
  TSegmentSpan& span = session.Span;

  if (join_archives_) MakeDirectoryPath(seg_tmp_dir_);
  SegArcList.clear();

  span.Open(1);
  TSegHeaderBytes headerBytes{};
  span.Read(headerBytes.data(), headerBytes.size());
  const TSegHeader header = ParseSegHeader(headerBytes);

  // Scan phase: the owner's handlers never see the list archives (they are expanded
  // without any handler).
  for (std::uint32_t i = 0; i < header.ArchiveCount; ++i) {
    TSegArc arc;
    ReadScanRecord(session, arc);
    arc.Index = static_cast<std::uint16_t>(i);
    SegArcList.push_back(std::move(arc));
  }

  NoteRemaining(session);
  if (OnSegBeforeExpand) OnSegBeforeExpand(SegArcList);

  const std::size_t count = SegArcList.size();
  for (std::size_t i = 0; i < count && i < SegArcList.size(); ++i)
    ExpandSegArc(session, SegArcList[i]);
  span.Close();
}

void TSegCompress::ReadScanRecord(ReadSession& session, TSegArc& arc) {
  TSegmentSpan& span = session.Span;
  std::uint8_t* buffer = session.Buffer.data();
  TSegScanBytes scanBytes{};
  span.Read(scanBytes.data(), scanBytes.size());
  const TSegScanHeader scan = ParseSegScanHeader(scanBytes);

  std::fill_n(buffer, kSegBlockSize, std::uint8_t{0});
  span.Read(buffer, scan.TemplateLength);
  arc.Template = FieldText(buffer, scan.TemplateLength);
  arc.TargetDir = DirectoryPart(arc.Template);
  arc.ArcFlags = scan.Flags;
  arc.ArcFileNames.clear();

  if (!join_archives_) {
    // Read where it lies; the list file is cut into names as it is expanded.
    TSegmentPieceStream listArchive(
        std::make_shared<const TSegmentPieces>(span.Pass(scan.ArchiveLength)));
    TListFileNames names(scan.RecordLength);
    ExpandListEntry(listArchive, names);
    arc.ArcFileNames = names.Finish();
    return;
  }

  // The list archive is joined on disk; only its first entry counts, and it is expanded
  // into the private list file whatever its stored name says.
  TSegTempFile joined(Machine(), TempArchiveName());
  span.CopyTo(*joined.Stream(), scan.ArchiveLength, buffer);
  joined.Stream()->Seek(0, platform::SeekOrigin::soBeginning);

  TSegTempFile list(Machine(), ListFileName());
  ExpandListEntry(*joined.Stream(), *list.Stream());
  joined.Close();

  platform::ByteStream& names = *list.Stream();
  names.Seek(0, platform::SeekOrigin::soBeginning);
  std::int64_t remaining = names.Size();
  // Records of no width cannot divide a list file that holds anything.
  if (remaining > 0 && scan.RecordLength == 0) throw InvalidLength("RecordLength", 0);
  if (remaining > 0 && (remaining - 1) / scan.RecordLength + 1 > kMaxListRecords)
    throw TooManyListRecords();
  while (remaining > 0) {
    std::fill_n(buffer, kSegBlockSize, std::uint8_t{0});
    const auto want =
        static_cast<std::size_t>(std::min<std::int64_t>(remaining, scan.RecordLength));
    std::size_t got = 0;
    while (got < want) {
      const std::size_t n = names.Read(buffer + got, want - got);
      if (n == 0) throw ESegError(ESegError::Kind::skReadFailed);
      got += n;
    }
    remaining -= static_cast<std::int64_t>(want);
    arc.ArcFileNames.push_back(ListRecordName(buffer, want));
  }
}

void TSegCompress::ExpandListEntry(platform::ByteStream& archive, platform::ByteStream& list) {
  container::TArchiveStart start = container::ReadArchiveHeader(archive, {});
  container::TArchiveEntry entry;
  container::TEntryWalker walker(archive);
  if (start.Assumed || !walker.Next(entry)) throw ESegError(ESegError::Kind::skEmptyListArchive);
  container::TExpandSettings settings;
  settings.Codec.Key = Key();
  settings.Codec.OnYield = OnYield;
  settings.CompressID = start.Header.MethodId;
  container::ExpandEntry(entry, archive, list, settings);
}

void TSegCompress::ExpandSegArc(ReadSession& session, TSegArc& arc) {
  TSegmentSpan& span = session.Span;
  std::uint8_t* buffer = session.Buffer.data();
  TSegArcHeader header;
  for (;;) {
    TSegArcBytes bytes{};
    span.Read(bytes.data(), bytes.size());
    header = ParseSegArcHeader(bytes);
    if (header.SequenceNumber > arc.Index) throw ESegError(ESegError::Kind::skInvalidSequence);
    if (header.SequenceNumber == arc.Index) break;
    // An archive that is not being expanded (the handler removed it): pass over it.
    span.Skip(header.ArchiveLength, buffer);
  }

  const std::int64_t length = header.ArchiveLength;
  const auto progress = [this, &session, length](std::int64_t copied) {
    NoteRemaining(session);
    if (OnSegShowProgress) OnSegShowProgress(static_cast<std::int32_t>(copied * 100 / length));
  };
  if (!join_archives_) {
    auto pieces = std::make_shared<const TSegmentPieces>(span.Pass(length, progress));
    NoteRemaining(session);
    const container::TArchiveOpener open = [pieces]() -> std::unique_ptr<platform::ByteStream> {
      return std::make_unique<TSegmentPieceStream>(pieces);
    };
    if (OnSegArchiveLocated && !OnSegArchiveLocated(arc, open)) return;
    SetMakeDirectories(true);
    SetTargetPath(arc.TargetDir);
    ExpandArchiveEntries(open, &arc.ArcFileNames);
    if (OnSegAfterArchive) OnSegAfterArchive(header, arc.Template);
    return;
  }

  TSegTempFile joined(Machine(), TempArchiveName());
  {
    // Read block by block; written to the joined file in larger pieces.
    container::TWriteBuffer gathered(*joined.Stream(), kJoinedWriteSize);
    span.CopyTo(gathered, length, buffer, progress);
    gathered.Flush();
  }
  joined.Close();
  NoteRemaining(session);

  if (OnSegArchiveJoined && !OnSegArchiveJoined(arc, joined.Path())) return;
  SetMakeDirectories(true);
  SetTargetPath(arc.TargetDir);
  ExpandArchiveEntries(joined.Path(), &arc.ArcFileNames);
  if (OnSegAfterArchive) OnSegAfterArchive(header, arc.Template);
}

}  // namespace nolvo::segment
