// Damaged media: every record with a wrong id, lengths out of range, streams and segments
// cut short, list archives without a file, archives out of order. Each ends with a typed
// error, leaves no temporary file and writes nothing outside the target.

#include <gtest/gtest.h>

#include "archive/container/compress_errors.h"
#include "archive/segment/seg_compress.h"
#include "archive/segment/seg_header.h"
#include "archive/segment/seg_list_names.h"
#include "tests/segment/seg_reader_fixture.h"

namespace nolvo::segment {
namespace {

using namespace nolvo::segment::test;
using Kind = ESegError::Kind;

class SegBadInput : public SegReader {
 protected:
  void ExpectFailure(const Bytes& stream, Kind kind, std::vector<std::size_t> slices = {}) {
    fs::remove_all(media());
    fs::create_directories(media());
    WriteSegments(media(), stream, std::move(slices));
    TSegCompress reader(machine);
    Configure(reader);
    ExpectSegError(reader, kind);
  }

  static Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  }

  const Bytes archive = MakeArchive({{"a.txt", TextBytes("alpha")}});
  const Bytes list = MakeArchive({{"names", ListFile({"a.txt"}, 8)}});
};

TEST_F(SegBadInput, WrongIdInEveryRecord) {
  Bytes stream = Join({SegHeaderRecord(1), ScanRecord("C:\\X\\", 8, list), ArcRecord(0, archive)});
  const std::size_t scanAt = kSegHeaderSize;
  const std::size_t arcAt = scanAt + 17 + 5 + list.size();
  for (auto [at, kind] :
       {std::pair{std::size_t{0}, Kind::skInvalidSegmentHeader},
        std::pair{scanAt, Kind::skInvalidScanId}, std::pair{arcAt, Kind::skInvalidArchiveId}}) {
    Bytes bad = stream;
    bad[at + 2] ^= 0x20;  // one letter in the other case
    ExpectFailure(bad, kind);
  }
}

TEST_F(SegBadInput, LengthsOutOfRangeAreRejectedBeforeUse) {
  const auto scanWith = [&](std::uint16_t tl, std::int32_t rl, std::int32_t al) {
    TSegScanHeader h;
    h.TemplateLength = tl;
    h.RecordLength = rl;
    h.ArchiveLength = al;
    return Join({SegHeaderRecord(1), ScanRecordRaw(h, Bytes(9000, 'x'))});
  };
  ExpectFailure(scanWith(8193, 8, 10), Kind::skInvalidLength);
  ExpectFailure(scanWith(5, 8193, 10), Kind::skInvalidLength);
  ExpectFailure(scanWith(5, 8, -1), Kind::skInvalidLength);
  ExpectFailure(scanWith(5, 8, INT32_MIN), Kind::skInvalidLength);

  Bytes negative = ArcRecord(0, archive);
  negative[15] = 0xFF;
  ExpectFailure(Join({SegHeaderRecord(1), ScanRecord("C:\\X\\", 8, list), negative}),
                Kind::skInvalidLength);
}

TEST_F(SegBadInput, RecordsOfNoWidthCannotDivideAListFileThatHoldsNames) {
  TSegScanHeader h;
  h.TemplateLength = 5;
  h.RecordLength = 0;
  h.ArchiveLength = static_cast<std::int32_t>(list.size());
  Bytes tail = TextBytes(std::string("C:\\X\\", 5));
  tail.insert(tail.end(), list.begin(), list.end());
  ExpectFailure(Join({SegHeaderRecord(1), ScanRecordRaw(h, tail), ArcRecord(0, archive)}),
                Kind::skInvalidLength);
}

// A list archive of a few kilobytes that expands to more one-byte records than any archive
// has files is refused, joined (the setup) or read in place (the tools).
TEST_F(SegBadInput, AListFileOfMillionsOfRecordsIsRefused) {
  const Bytes bomb =
      MakeArchive({{"names", Bytes(static_cast<std::size_t>(kMaxListRecords) + 1, 'x')}});
  ASSERT_LT(bomb.size(), 64u * 1024);
  const Bytes stream =
      Join({SegHeaderRecord(1), ScanRecord("C:\\X\\", 1, bomb), ArcRecord(0, archive)});
  for (const bool join : {true, false}) {
    SCOPED_TRACE(join);
    fs::remove_all(media());
    fs::create_directories(media());
    WriteSegments(media(), stream, {});
    TSegCompress reader(machine);
    Configure(reader);
    reader.SetJoinArchives(join);
    ExpectSegError(reader, Kind::skInvalidLength);
  }
}

TEST_F(SegBadInput, HugeLengthRunsOutOfSegmentsInsteadOfHanging) {
  Bytes huge = ArcRecord(0, archive);
  huge[12] = huge[13] = huge[14] = 0xFF;
  huge[15] = 0x7F;
  ExpectFailure(Join({SegHeaderRecord(1), ScanRecord("C:\\X\\", 8, list), huge}),
                Kind::skMissingSegment);
  // A huge list archive length likewise.
  TSegScanHeader h;
  h.TemplateLength = 4;
  h.RecordLength = 8;
  h.ArchiveLength = INT32_MAX;
  ExpectFailure(Join({SegHeaderRecord(1), ScanRecordRaw(h, Bytes(100, 0))}),
                Kind::skMissingSegment);
}

TEST_F(SegBadInput, StreamCutAnywhereAsksForTheNextSegment) {
  const Bytes stream =
      Join({SegHeaderRecord(1), ScanRecord("C:\\X\\", 8, list), ArcRecord(0, archive)});
  for (std::size_t cut = 0; cut < stream.size(); cut += 3) {
    SCOPED_TRACE(cut);
    ExpectFailure(Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut)),
                  Kind::skMissingSegment);
  }
}

TEST_F(SegBadInput, DamagedSegmentFiles) {
  const Bytes stream = SmallStream();
  for (const std::string& content :
       {std::string(), std::string("SSeg\0\0\1", 7), std::string("XSeg\0\0\1\0abc", 11)}) {
    fs::remove_all(media());
    fs::create_directories(media());
    nolvo::test::WriteBytes(media() / "disk.001", content);
    TSegCompress reader(machine);
    Configure(reader);
    ExpectSegError(reader, Kind::skOpenFailed);
  }
  // A damaged second segment is just as fatal, without a retry.
  fs::remove_all(media());
  fs::create_directories(media());
  WriteSegments(media(), stream, {30});
  nolvo::test::WriteBytes(media() / "disk.002", std::string("SSeg"));
  TSegCompress reader(machine);
  Configure(reader);
  ExpectSegError(reader, Kind::skOpenFailed);
}

TEST_F(SegBadInput, ListArchiveWithoutAFile) {
  const Bytes empty = MakeArchive({});
  ExpectFailure(Join({SegHeaderRecord(1), ScanRecord("C:\\X\\", 8, empty), ArcRecord(0, archive)}),
                Kind::skEmptyListArchive);
  ExpectFailure(
      Join({SegHeaderRecord(1), ScanRecord("C:\\X\\", 8, Bytes(10, 0)), ArcRecord(0, archive)}),
      Kind::skEmptyListArchive);
}

TEST_F(SegBadInput, DamagedListArchiveRaisesTheContainersError) {
  Bytes bad = list;
  bad[0] = 'v';
  WriteSegments(media(),
                Join({SegHeaderRecord(1), ScanRecord("C:\\X\\", 8, bad), ArcRecord(0, archive)}),
                {});
  TSegCompress reader(machine);
  Configure(reader);
  TSegArcList arcs;
  EXPECT_THROW(reader.ExpandSegArcs(arcs), container::EInvalidHeader);
  EXPECT_EQ(FilesIn(tempDir()), std::vector<std::string>{});
}

TEST_F(SegBadInput, ArchiveSequenceOutOfOrder) {
  ExpectFailure(
      Join({SegHeaderRecord(2), ScanRecord("C:\\X\\", 8, list), ScanRecord("C:\\Y\\", 8, list),
            ArcRecord(1, archive), ArcRecord(0, archive)}),
      Kind::skInvalidSequence);
}

TEST_F(SegBadInput, FailureLeavesEarlierArchivesAndTheListOfArchivesRead) {
  Bytes bad = ArcRecord(1, archive);
  bad[0] = 'X';
  WriteSegments(media(),
                Join({SegHeaderRecord(2), ScanRecord("C:\\X\\", 8, list),
                      ScanRecord("C:\\Y\\", 8, list), ArcRecord(0, archive), bad}),
                {});
  TSegCompress reader(machine);
  Configure(reader);
  TSegArcList arcs;
  EXPECT_THROW(reader.ExpandSegArcs(arcs), ESegError);
  EXPECT_EQ(arcs.size(), 2u);
  EXPECT_EQ(Read("X/a.txt"), TextBytes("alpha"));
  EXPECT_EQ(FilesIn(tempDir()), std::vector<std::string>{});
}

TEST_F(SegBadInput, ListEntryNameCannotPlaceTheListFile) {
  const Bytes names = ListFile({"a.txt"}, 8);
  for (const char* stored : {"..\\..\\evil.txt", "\\WINDOWS\\evil.txt", "C:\\evil.txt"}) {
    fs::remove_all(media());
    fs::create_directories(media());
    WriteSegments(
        media(),
        Join({SegHeaderRecord(1), ScanRecord("C:\\X\\", 8, MakeArchive({{stored, names}})),
              ArcRecord(0, archive)}),
        {});
    TSegCompress reader(machine);
    Configure(reader);
    TSegArcList arcs;
    reader.ExpandSegArcs(arcs);
    EXPECT_EQ(arcs[0].ArcFileNames, std::vector<std::string>{"C:\\X\\a.txt"});
    for (const auto& entry : fs::recursive_directory_iterator(tmp.Path()))
      EXPECT_NE(entry.path().filename(), "evil.txt") << entry.path();
  }
}

TEST_F(SegBadInput, PlantedLinksInTheTemporaryFolderAreNotFollowed) {
  WriteSegments(media(), SmallStream(), {});
  TSegCompress reader(machine);
  Configure(reader);
  reader.MakeDirectoryPath(reader.SegTmpDir());
  const fs::path victim = tmp.Path() / "victim";
  nolvo::test::WriteBytes(victim, std::string("keep"));
  fs::create_symlink(victim, tempDir() / "disk.$A$");
  fs::create_symlink(victim, tempDir() / "disk.$L$");
  TSegArcList arcs;
  reader.ExpandSegArcs(arcs);
  EXPECT_EQ(nolvo::test::ReadText(victim), "keep");
  EXPECT_EQ(Read("Small/a.txt"), TextBytes("alpha"));
  EXPECT_EQ(FilesIn(tempDir()), std::vector<std::string>{});
}

}  // namespace
}  // namespace nolvo::segment
