// Cutting a stream into segment files and reading it back across their ends.

#include "archive/segment/segment_span.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "archive/segment/seg_error.h"
#include "archive/segment/seg_id_header.h"
#include "archive/segment/segment_sink.h"
#include "tests/support/temp_dir.h"

namespace nolvo::segment {
namespace {

namespace fs = std::filesystem;
using platform::HostFileStream;

std::vector<std::uint8_t> RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<std::uint8_t> out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(gen());
  return out;
}

// A span over <dir>/disk.NNN host files that records the segments it was told about.
struct HostSpan {
  explicit HostSpan(fs::path d) : dir(std::move(d)) {}
  fs::path dir;
  std::vector<std::uint16_t> opened, done;
  int pumps = 0;
  TSegmentSpan span{[this](std::uint16_t n) {
                      opened.push_back(n);
                      char name[16];
                      std::snprintf(name, sizeof name, "disk.%03u", unsigned{n});
                      const auto path = dir / name;
                      if (!fs::exists(path))
                        throw ESegError(ESegError::Kind::skMissingSegment, "missing");
                      TOpenedSegment seg;
                      seg.Stream =
                          std::make_unique<HostFileStream>(path, HostFileStream::Mode::mdRead);
                      seg.Size = static_cast<std::int64_t>(fs::file_size(path));
                      return seg;
                    },
                    [this](std::uint16_t n) { done.push_back(n); }, [this] { ++pumps; }};
};

TEST(SegmentSink, CutsIntoSegSizeFilesEachWithItsIdHeader) {
  test::TempDir tmp;
  const auto data = RandomBytes(16384 * 2 + 100, 1);
  {
    TSegmentSink sink(tmp.Path(), "disk", 1000);  // raised to 16384
    EXPECT_EQ(sink.SegSize(), 16384);
    sink.WriteAll(data.data(), 5);
    sink.WriteAll(data.data() + 5, data.size() - 5);
    EXPECT_EQ(sink.Position(), static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(sink.Finish().size(), 3u);
  }
  EXPECT_EQ(fs::file_size(tmp.Path() / "disk.001"), 16384u);
  EXPECT_EQ(fs::file_size(tmp.Path() / "disk.002"), 16384u);
  EXPECT_EQ(fs::file_size(tmp.Path() / "disk.003"), 100u + 2 * 8 + 8);
  const auto second = test::ReadBytes(tmp.Path() / "disk.002");
  TSegIdBytes id{};
  std::copy_n(second.begin(), 8, id.begin());
  EXPECT_EQ(ParseSegIdHeader(id)->SegmentNumber, 2);
  // The slice after the id record continues the stream where segment 1 stopped.
  EXPECT_TRUE(std::equal(second.begin() + 8, second.end(), data.begin() + (16384 - 8)));
}

TEST(SegmentSink, StreamEndingOnABoundaryMakesNoEmptySegmentAndStaleOnesGo) {
  test::TempDir tmp;
  test::WriteBytes(tmp.Path() / "disk.002", std::string("stale"));
  test::WriteBytes(tmp.Path() / "disk.003", std::string("stale"));
  const auto data = RandomBytes(16384 - 8, 2);
  TSegmentSink sink(tmp.Path(), "disk", 16384);
  sink.WriteAll(data.data(), data.size());
  EXPECT_EQ(sink.Finish().size(), 1u);
  EXPECT_FALSE(fs::exists(tmp.Path() / "disk.002"));
  EXPECT_FALSE(fs::exists(tmp.Path() / "disk.003"));
}

TEST(SegmentSink, AbandonedSinkRemovesWhatItWrote) {
  test::TempDir tmp;
  const auto data = RandomBytes(40000, 3);
  {
    TSegmentSink sink(tmp.Path(), "disk", 16384);
    sink.WriteAll(data.data(), data.size());
  }
  EXPECT_TRUE(fs::is_empty(tmp.Path()));
}

TEST(SegmentSink, ReplacesAPlantedLinkInsteadOfWritingThroughIt) {
  test::TempDir tmp;
  const auto victim = tmp.Path() / "victim";
  test::WriteBytes(victim, std::string("keep"));
  fs::create_symlink(victim, tmp.Path() / "disk.001");
  const auto data = RandomBytes(10, 4);
  TSegmentSink sink(tmp.Path(), "disk", 16384);
  sink.WriteAll(data.data(), data.size());
  sink.Finish();
  EXPECT_EQ(test::ReadText(victim), "keep");
  EXPECT_FALSE(fs::is_symlink(tmp.Path() / "disk.001"));
}

TEST(SegmentSpan, ReadsAcrossSegmentsAsOneStream) {
  test::TempDir tmp;
  const auto data = RandomBytes(16384 * 3, 5);
  TSegmentSink sink(tmp.Path(), "disk", 16384);
  sink.WriteAll(data.data(), data.size());
  sink.Finish();

  HostSpan host(tmp.Path());
  host.span.Open(1);
  std::vector<std::uint8_t> back(data.size());
  // Odd read sizes so that reads straddle segment ends.
  std::size_t at = 0;
  for (std::size_t step = 1; at < back.size(); step = step * 3 + 7) {
    const std::size_t n = std::min(step, back.size() - at);
    host.span.Read(back.data() + at, n);
    at += n;
  }
  EXPECT_EQ(back, data);
  EXPECT_EQ(host.opened, (std::vector<std::uint16_t>{1, 2, 3, 4}));
  EXPECT_EQ(host.done, (std::vector<std::uint16_t>{1, 2, 3}));
  EXPECT_GT(host.pumps, 6);
}

TEST(SegmentSpan, SegmentWithOnlyItsIdRecordMovesOnBeforeTheFirstByte) {
  test::TempDir tmp;
  TSegIdHeader id;
  id.SegmentNumber = 1;
  auto one = FormatSegIdHeader(id);
  test::WriteBytes(tmp.Path() / "disk.001", std::vector<unsigned char>(one.begin(), one.end()));
  id.SegmentNumber = 2;
  auto two = FormatSegIdHeader(id);
  std::vector<unsigned char> second(two.begin(), two.end());
  second.push_back('x');
  test::WriteBytes(tmp.Path() / "disk.002", second);

  HostSpan host(tmp.Path());
  host.span.Open(1);
  char c = 0;
  host.span.Read(&c, 1);
  EXPECT_EQ(c, 'x');
  EXPECT_EQ(host.done, (std::vector<std::uint16_t>{1}));
}

TEST(SegmentSpan, FileShorterThanItsSizeFailsInsteadOfLooping) {
  test::TempDir tmp;
  const auto data = RandomBytes(100, 6);
  TSegmentSink sink(tmp.Path(), "disk", 16384);
  sink.WriteAll(data.data(), data.size());
  sink.Finish();
  HostSpan host(tmp.Path());
  host.span.Open(1);
  fs::resize_file(tmp.Path() / "disk.001", 50);  // shrinks under the open stream
  std::vector<std::uint8_t> back(100);
  try {
    host.span.Read(back.data(), back.size());
    FAIL();
  } catch (const ESegError& e) {
    EXPECT_EQ(e.Why(), ESegError::Kind::skReadFailed);
    EXPECT_STREQ(e.what(), "(TSegCompress) Stream read failed");
  }
}

TEST(SegmentSpan, BadIdRecordAndSegmentLimit) {
  test::TempDir tmp;
  test::WriteBytes(tmp.Path() / "disk.001", std::string("SSex\0\0\1\0data", 12));
  HostSpan bad(tmp.Path());
  try {
    bad.span.Open(1);
    FAIL();
  } catch (const ESegError& e) {
    EXPECT_EQ(e.Why(), ESegError::Kind::skInvalidSegmentId);
  }
  EXPECT_FALSE(bad.span.IsOpen());

  test::WriteBytes(tmp.Path() / "disk.65535", std::string("SSeg\0\0\xff\xff", 8));
  HostSpan last(tmp.Path());
  last.span.Open(65535);
  char c;
  try {
    last.span.Read(&c, 1);
    FAIL();
  } catch (const ESegError& e) {
    EXPECT_EQ(e.Why(), ESegError::Kind::skSegmentLimit);
  }
}

TEST(SegmentSpan, CopyReportsAfterEachWholeBlock) {
  test::TempDir tmp;
  const auto data = RandomBytes(20000, 7);
  TSegmentSink sink(tmp.Path(), "disk", 16384);
  sink.WriteAll(data.data(), data.size());
  sink.Finish();
  HostSpan host(tmp.Path());
  host.span.Open(1);
  platform::MemoryStream out;
  std::vector<std::int64_t> reports;
  std::vector<std::uint8_t> buffer(kSegBlockSize);
  host.span.CopyTo(out, 19000, buffer.data(), [&](std::int64_t n) { reports.push_back(n); });
  EXPECT_EQ(reports, (std::vector<std::int64_t>{8192, 16384, 19000}));
  host.span.Skip(1000, buffer.data());
  EXPECT_TRUE(std::equal(out.Bytes().begin(), out.Bytes().end(), data.begin()));
  EXPECT_THROW(host.span.Read(buffer.data(), 1), ESegError);  // disk.003 missing
}

}  // namespace
}  // namespace nolvo::segment
