// The segment writer: what it refuses, what it leaves behind on failure, and round trips
// through the reader (locked entries, names with spaces and 8-bit characters, empty files).

#include <gtest/gtest.h>

#include "archive/container/compress_errors.h"
#include "archive/segment/seg_compress.h"
#include "tests/segment/seg_reader_fixture.h"

namespace nolvo::segment {
namespace {

using namespace nolvo::segment::test;
using Method = container::TCompressionMethod;

using SegWriter = SegReader;

TEST_F(SegWriter, RefusesWhatTheFormatCannotCarry) {
  const auto refused = [&](TSegWriteArchive archive) {
    EXPECT_THROW(Write({archive}), std::invalid_argument);
    EXPECT_EQ(FilesIn(media()), std::vector<std::string>{});
  };
  TSegWriteArchive ok;
  ok.Files = {Source("a.txt", TextBytes("a"))};

  TSegWriteArchive longTemplate = ok;
  longTemplate.Template = std::string(8192, 'x');
  refused(longTemplate);
  TSegWriteArchive noTemplate = ok;
  noTemplate.Template.clear();
  refused(noTemplate);
  TSegWriteArchive zeroRecord = ok;
  zeroRecord.RecordLength = 0;
  refused(zeroRecord);
  TSegWriteArchive wideRecord = ok;
  wideRecord.RecordLength = 8193;
  refused(wideRecord);
  TSegWriteArchive longName = ok;
  longName.RecordLength = 4;
  longName.Files = {Source("abcde", TextBytes("x"))};
  refused(longName);
  TSegWriteArchive trailingSpace = ok;
  trailingSpace.Files = {Source("a.txt ", TextBytes("x"))};
  refused(trailingSpace);
}

TEST_F(SegWriter, FailureRemovesSegmentsAndWorkFile) {
  TSegWriteArchive archive;
  archive.Files = {Source("big.bin", NoiseBytes(40000, 1), Method::coNone)};
  TSegWriteFile missing;
  missing.Source = sources() / "does-not-exist";
  missing.StoredName = "gone.txt";
  archive.Files.push_back(missing);
  EXPECT_THROW(Write({archive}), platform::EStreamError);
  EXPECT_EQ(FilesIn(media()), std::vector<std::string>{});
}

TEST_F(SegWriter, RoundTripWithKeyOddNamesAndEmptyFiles) {
  const Bytes big = NoiseBytes(50000, 2);
  const Bytes text = RandomBytes(30000, 3);
  TSegWriteArchive archive;
  archive.Template = "C:\\Program Files\\Tool\\*.*";
  archive.Files = {Source("my file.txt", text), Source("none.dat", {}),
                   Source("caf\xe9.bin", big, Method::coLZH),
                   Source("rle.bin", Bytes(5000, 'z'), Method::coRLE),
                   Source("data\\empty.dat", {})};
  TSegWriterSettings settings;
  settings.Dir = media();
  settings.SegSize = 16384;
  settings.Key = 0x1234567;
  std::vector<std::string> seen;
  settings.OnFile = [&](std::size_t, const TSegWriteFile& f) { seen.push_back(f.StoredName); };
  const TSegWriteResult result = WriteSegmentedArchive(settings, {archive});
  EXPECT_GE(result.Segments.size(), 3u);
  // Empty files are stored first (a reader stops once the entries passed add up to the
  // archive's total), the others after them, each in the order given.
  const std::vector<std::string> order = {"none.dat", "data\\empty.dat", "my file.txt",
                                          "caf\xe9.bin", "rle.bin"};
  EXPECT_EQ(seen, order);
  ASSERT_EQ(result.Archives.size(), 1u);
  std::vector<std::string> stored;
  for (const auto& entry : result.Archives[0]) {
    stored.push_back(entry.Name);
    EXPECT_TRUE(entry.Info.Locked) << entry.Name;
  }
  EXPECT_EQ(stored, order);
  EXPECT_EQ(result.Archives[0][1].Info.Method, Method::coNone);  // empty files are copies

  {
    // Without the key the locked entries are refused.
    TSegCompress reader(machine);
    Configure(reader);
    TSegArcList arcs;
    EXPECT_THROW(reader.ExpandSegArcs(arcs), container::EInvalidKey);
    EXPECT_EQ(FilesIn(tempDir()), std::vector<std::string>{});
  }
  TSegCompress reader(machine);
  Configure(reader);
  reader.SetKey(settings.Key);
  TSegArcList arcs;
  reader.ExpandSegArcs(arcs);
  const fs::path dir = machine.Resolve("C:\\Program Files\\Tool").host;
  EXPECT_EQ(nolvo::test::ReadBytes(dir / "my file.txt"),
            std::vector<unsigned char>(text.begin(), text.end()));
  EXPECT_EQ(nolvo::test::ReadBytes(machine.Resolve("C:\\Program Files\\Tool\\caf\xe9.bin").host),
            std::vector<unsigned char>(big.begin(), big.end()));
  EXPECT_EQ(fs::file_size(dir / "data" / "empty.dat"), 0u);
  EXPECT_EQ(fs::file_size(dir / "rle.bin"), 5000u);
  EXPECT_EQ(fs::file_size(dir / "none.dat"), 0u);
  EXPECT_EQ(arcs[0].ArcFileNames.size(), 5u);
}

TEST_F(SegWriter, ManyArchivesOneTinyListEach) {
  std::vector<TSegWriteArchive> archives(5);
  for (int i = 0; i < 5; ++i) {
    archives[i].Template = "C:\\M\\" + std::to_string(i) + "\\";
    archives[i].RecordLength = 12;
    archives[i].Flags = static_cast<std::uint8_t>(i);
    archives[i].Files = {
        Source("f" + std::to_string(i), TextBytes(std::string(i * 1000, 'a' + i)))};
  }
  archives[3].Files.clear();  // an archive without files is carried too
  Write(archives);
  TSegCompress reader(machine);
  Configure(reader);
  TSegArcList arcs;
  reader.ExpandSegArcs(arcs);
  ASSERT_EQ(arcs.size(), 5u);
  EXPECT_EQ(arcs[3].ArcFileNames, std::vector<std::string>{});
  EXPECT_EQ(arcs[4].ArcFlags, 4);
  EXPECT_EQ(fs::file_size(machine.Resolve("C:\\M\\4\\f4").host), 4000u);
  EXPECT_EQ(fs::file_size(machine.Resolve("C:\\M\\0\\f0").host), 0u);
}

}  // namespace
}  // namespace nolvo::segment
