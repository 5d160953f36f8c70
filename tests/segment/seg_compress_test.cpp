// The segmented reader on real media: segment files on a mapped drive of a temporary
// machine, archives joined in SegTmpDir and expanded into the machine's C: drive.

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>

#include "archive/container/compress_errors.h"
#include "archive/segment/seg_comp_ez.h"
#include "archive/segment/seg_error.h"
#include "archive/segment/seg_names.h"
#include "archive/segment/seg_writer.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "testing/scripted_dialogs.h"
#include "tests/segment/seg_reader_fixture.h"

namespace nolvo::segment {
namespace {

namespace fs = std::filesystem;
using namespace nolvo::segment::test;
using platform::DialogResult;
using Kind = ESegError::Kind;

TEST_F(SegReader, DefaultsOfANewComponent) {
  TSegCompEZ reader(machine);
  EXPECT_EQ(reader.SegBaseName(), "SegData");
  EXPECT_EQ(reader.SegDir(), "a:\\");
  EXPECT_EQ(reader.SegExt(), "");
  EXPECT_TRUE(reader.SegPopUp());
  EXPECT_EQ(reader.SegSize(), 1440000);
  EXPECT_EQ(reader.SegTmpDir(),
            platform::AsciiLower(WithoutTrailingBackslash(machine.GetCurrentDirectory())));
  EXPECT_EQ(reader.SegNumber(), 0);
  EXPECT_EQ(reader.SegMode(), TSegMode::smIdle);
  EXPECT_FALSE(reader.Aborted());
  EXPECT_EQ(reader.SegBuildMode, TBuildMode::bmRecursive);
  EXPECT_EQ(reader.SegCompType, codec::TCompressionMethod::coLZH);
  EXPECT_FALSE(reader.SegMultiArc);
  reader.SetSegSize(1000);
  EXPECT_EQ(reader.SegSize(), 16384);
  reader.SetSegBaseName("C:\\Media\\DISK");
  EXPECT_EQ(reader.SegBaseName(), "disk");
  reader.SetSegExt("ABCD");
  EXPECT_EQ(reader.SegExt(), "ABC");
  // Only a reader that keeps windows alive hands the processor on between codec chunks.
  EXPECT_FALSE(reader.OnYield);
  platform::NullMessagePump pump;
  EXPECT_TRUE(TSegCompEZ(machine, nullptr, &pump).OnYield);
}

TEST_F(SegReader, ExpandsArchivesSpanningSeveralSegments) {
  const Bytes big = NoiseBytes(60000, 1);
  const Bytes noisy = RandomBytes(30000, 2);
  TSegWriteArchive app;
  app.Template = "C:\\App\\*.*";
  app.Flags = 7;
  app.Files = {Source("bin\\app.exe", big), Source("readme.txt", TextBytes("hello")),
               Source("empty.dat", {}),
               Source("raw.bin", noisy, container::TCompressionMethod::coNone)};
  TSegWriteArchive docs;
  docs.Template = "C:\\Docs\\Manual\\*.*";
  docs.Files = {Source("guide.txt", TextBytes("guide text"), container::TCompressionMethod::coLZH)};
  const TSegWriteResult written = Write({app, docs});
  ASSERT_GE(written.Segments.size(), 3u);

  TSegCompEZ reader(machine);
  Configure(reader);
  std::vector<std::uint16_t> before, after;
  std::vector<std::int32_t> progress;
  std::vector<std::string> archivesDone;
  reader.OnSegBefore = [&](TSegMode mode, const std::string& name, std::uint16_t number) {
    EXPECT_EQ(mode, TSegMode::smReading);
    EXPECT_EQ(name, BuildSegmentNames("disk", "", number, "").SegName);
    before.push_back(number);
  };
  reader.OnSegAfter = [&](TSegMode, const std::string&, std::uint16_t number) {
    after.push_back(number);
  };
  reader.OnSegShowProgress = [&](std::int32_t percent) { progress.push_back(percent); };
  reader.OnSegAfterArchive = [&](const TSegArcHeader& header, const std::string& templ) {
    archivesDone.push_back(std::to_string(header.SequenceNumber) + templ);
  };
  reader.SetSegSource({"stale"});
  reader.ExpandSegmentedArchive();

  EXPECT_EQ(Read("App/bin/app.exe"), big);
  EXPECT_EQ(Read("App/readme.txt"), TextBytes("hello"));
  EXPECT_EQ(Read("App/empty.dat"), Bytes{});
  EXPECT_EQ(Read("App/raw.bin"), noisy);
  EXPECT_EQ(Read("Docs/Manual/guide.txt"), TextBytes("guide text"));

  const std::size_t n = written.Segments.size();
  ASSERT_EQ(before.size(), n);
  for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(before[i], i + 1);
  EXPECT_EQ(after.size(), n - 1);  // never for the last segment
  EXPECT_EQ(progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.begin() + 3));
  EXPECT_EQ(archivesDone, (std::vector<std::string>{"0C:\\App\\*.*", "1C:\\Docs\\Manual\\*.*"}));

  ASSERT_EQ(reader.SegArcList.size(), 2u);
  const TSegArc& first = reader.SegArcList[0];
  EXPECT_EQ(first.Template, "C:\\App\\*.*");
  EXPECT_EQ(first.TargetDir, "C:\\App\\");
  EXPECT_EQ(first.ArcFlags, 7);
  EXPECT_EQ(first.Index, 0);
  EXPECT_EQ(first.ArcFileNames,  // in archive order: the writer stores empty files first
            (std::vector<std::string>{"C:\\App\\empty.dat", "C:\\App\\bin\\app.exe",
                                      "C:\\App\\readme.txt", "C:\\App\\raw.bin"}));
  EXPECT_EQ(reader.SegArcList[1].Index, 1);
  EXPECT_EQ(reader.SegSource(),
            (std::vector<std::string>{"C:\\App\\*.*", "C:\\Docs\\Manual\\*.*"}));
  EXPECT_EQ(reader.TargetPath(), "");
  EXPECT_TRUE(reader.MakeDirectories());
  EXPECT_EQ(reader.SegRemaining(), 0);
  EXPECT_EQ(FilesIn(tempDir()), std::vector<std::string>{});
}

TEST_F(SegReader, BeforeExpandHandlerRemovesEditsOrBreaksTheOrder) {
  std::vector<TSegWriteArchive> archives(3);
  for (int i = 0; i < 3; ++i) {
    archives[i].Template = "C:\\A" + std::to_string(i) + "\\*.*";
    archives[i].Files = {Source("one.txt", RandomBytes(9000, 10 + i)),
                         Source("two.txt", TextBytes("two"))};
  }
  Write(archives);

  {
    TSegCompress reader(machine);
    Configure(reader);
    reader.OnSegBeforeExpand = [](TSegArcList& list) {
      list.erase(list.begin());
      list[1].ArcFileNames = {"TWO.TXT"};  // any letter case selects
    };
    TSegArcList list;
    reader.ExpandSegArcs(list);
    EXPECT_FALSE(fs::exists(driveC() / "A0"));
    EXPECT_TRUE(fs::exists(driveC() / "A1" / "one.txt"));
    EXPECT_FALSE(fs::exists(driveC() / "A2" / "one.txt"));
    EXPECT_EQ(Read("A2/two.txt"), TextBytes("two"));
    EXPECT_EQ(list[1].ArcFileNames, std::vector<std::string>{"C:\\A2\\two.txt"});
  }
  {
    TSegCompress reader(machine);
    Configure(reader);
    reader.OnSegBeforeExpand = [](TSegArcList& list) { std::swap(list[0], list[1]); };
    ExpectSegError(reader, Kind::skInvalidSequence);
  }
}

TEST_F(SegReader, ListRecordsEndAtZeroAndLoseTrailingSpaces) {
  const Bytes archive =
      MakeArchive({{"README.TXT", TextBytes("r")}, {"other.txt", TextBytes("o")}});
  Bytes list = ListFile({"readme.txt   "}, 20);
  const Bytes listArchive = MakeArchive({{"whatever", list}});
  Bytes stream = SegHeaderRecord(1);
  for (const Bytes& part : {ScanRecord("C:\\R\\x", 20, listArchive), ArcRecord(0, archive)})
    stream.insert(stream.end(), part.begin(), part.end());
  // Every record split across segments: slices of 7 bytes.
  WriteSegments(media(), stream, std::vector<std::size_t>(stream.size() / 7 + 1, 7));

  TSegCompress reader(machine);
  Configure(reader);
  TSegArcList arcs;
  reader.ExpandSegArcs(arcs);
  EXPECT_EQ(Read("R/README.TXT"), TextBytes("r"));
  EXPECT_FALSE(fs::exists(driveC() / "R" / "other.txt"));
  EXPECT_EQ(arcs[0].ArcFileNames, std::vector<std::string>{"C:\\R\\README.TXT"});
}

TEST_F(SegReader, SegmentsHoldingOnlyTheirIdRecordArePassedOver) {
  // Slice sizes of the stream; 0 makes a segment of nothing but its identification record.
  const std::vector<std::vector<std::size_t>> cases = {
      {0}, {21, 0}, {30, 0, 0, 0}, {0, 0, 40, 0, 0, 10}, {5, 0, 5, 0, 5, 0}};
  for (const auto& slices : cases) {
    SCOPED_TRACE(::testing::PrintToString(slices));
    fs::remove_all(media());
    fs::create_directories(media());
    fs::remove_all(driveC() / "Small");
    const auto files = WriteSegments(media(), SmallStream(), slices);
    TSegCompress reader(machine);
    Configure(reader);
    std::vector<std::uint16_t> after;
    reader.OnSegAfter = [&](TSegMode, const std::string&, std::uint16_t n) { after.push_back(n); };
    TSegArcList arcs;
    reader.ExpandSegArcs(arcs);
    std::vector<std::uint16_t> every(files.size() - 1);
    std::iota(every.begin(), every.end(), std::uint16_t{1});
    EXPECT_EQ(after, every);  // all but the last segment were finished and moved past
    EXPECT_EQ(Read("Small/a.txt"), TextBytes("alpha"));
    EXPECT_EQ(Read("Small/b.txt"), TextBytes("beta"));
  }
}

TEST_F(SegReader, AnEmptyTemplateAndListRecordsOfNoWidthAreValid) {
  const Bytes archive = MakeArchive({{"a.txt", TextBytes("alpha")}});
  const Bytes names = MakeArchive({{"names", ListFile({"a.txt"}, 8)}});
  const Bytes noNames = MakeArchive({{"names", {}}});
  const auto stream = [&](std::uint16_t templateLength, const std::string& templ,
                          std::int32_t recordLength, const Bytes& list) {
    TSegScanHeader h;
    h.TemplateLength = templateLength;
    h.RecordLength = recordLength;
    h.ArchiveLength = static_cast<std::int32_t>(list.size());
    Bytes tail = TextBytes(templ);
    tail.insert(tail.end(), list.begin(), list.end());
    Bytes out = SegHeaderRecord(1);
    for (const Bytes& part : {ScanRecordRaw(h, tail), ArcRecord(0, archive)})
      out.insert(out.end(), part.begin(), part.end());
    return out;
  };
  struct Case {
    const char* what;
    Bytes stream;
    std::string templ;
    std::vector<std::string> written;
  };
  const Case cases[] = {
      // No template: no target directory, so the names stand relative to the current one.
      {"empty template", stream(0, "", 8, names), "", {"a.txt"}},
      {"empty list file", stream(5, "C:\\X\\", 0, noNames), "C:\\X\\", {}},
      {"both", stream(0, "", 0, noNames), "", {}},
  };
  EXPECT_TRUE(machine.SetCurrentDirectory("C:\\").ok());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(media());
    fs::create_directories(media());
    fs::remove(driveC() / "a.txt");
    WriteSegments(media(), c.stream, {});
    TSegCompress reader(machine);
    Configure(reader);
    TSegArcList arcs;
    reader.ExpandSegArcs(arcs);
    ASSERT_EQ(arcs.size(), 1u);
    EXPECT_EQ(arcs[0].Template, c.templ);
    EXPECT_EQ(arcs[0].ArcFileNames, c.written);
    EXPECT_EQ(fs::exists(driveC() / "a.txt"), !c.written.empty());
    EXPECT_FALSE(fs::exists(driveC() / "X" / "a.txt"));
  }
}

TEST_F(SegReader, JoinedHookListsInsteadOfExpanding) {
  WriteSegments(media(), SmallStream(), {25, 25});
  TSegCompress reader(machine);
  Configure(reader);
  std::vector<std::string> listed;
  reader.OnSegArchiveJoined = [&](TSegArc& arc, const std::string& joined) {
    EXPECT_EQ(arc.TargetDir, "C:\\Small\\");
    container::TCompressedFileList entries;
    reader.ListArchiveEntries(joined, entries);
    for (const auto& e : entries)
      listed.push_back(e.Name + ":" + std::to_string(e.Info.OriginalSize));
    return false;
  };
  TSegArcList arcs;
  reader.ExpandSegArcs(arcs);
  EXPECT_EQ(listed, (std::vector<std::string>{"a.txt:5", "b.txt:4"}));
  EXPECT_FALSE(fs::exists(driveC() / "Small"));
  EXPECT_EQ(FilesIn(tempDir()), std::vector<std::string>{});
}

}  // namespace
}  // namespace nolvo::segment
