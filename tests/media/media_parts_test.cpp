// The small parts of the media checks: which segment holds an archive byte, and digests
// computed on the second thread.

#include <gtest/gtest.h>

#include <random>

#include "archive/media/digest_worker.h"
#include "archive/media/segment_map.h"

namespace nolvo::media {
namespace {

TEST(SegmentMap, NamesTheSegmentsBehindAnArchiveByte) {
  // Segment files (with their 8-byte identification): 100 stream bytes, none, 50, 200; an
  // archive of 150 bytes that ends 120 bytes before the end of the fourth.
  const std::int64_t sizes[] = {108, 8, 58, 208};
  SegmentMap map([&](std::uint16_t n) { return n >= 1 && n <= 4 ? sizes[n - 1] : -1; },
                 [](std::uint16_t n) { return "disk.00" + std::to_string(n); });
  map.ArchiveEnds(150, 4, 120);
  const struct {
    std::int64_t offset;
    const char* segment;
  } cases[] = {{0, "disk.001"},  {19, "disk.001"},  {20, "disk.003"}, {69, "disk.003"},
               {70, "disk.004"}, {149, "disk.004"}, {150, ""},        {-1, ""}};
  for (const auto& c : cases) EXPECT_EQ(map.SegmentOf(c.offset), c.segment) << c.offset;
  EXPECT_EQ(map.Segments(10, 80), "disk.001-disk.004");
  EXPECT_EQ(map.Segments(30, 40), "disk.003");
  // A segment whose size is unknown names nothing.
  SegmentMap blind([](std::uint16_t) { return -1; }, [](std::uint16_t) { return "x"; });
  blind.ArchiveEnds(150, 4, 120);
  EXPECT_EQ(blind.SegmentOf(100), "");
}

TEST(DigestWorker, InterleavedJobsHashWhatPassesThrough) {
  DigestWorker worker;
  std::mt19937 gen(7);
  struct Job {
    platform::MemoryStream inner;
    std::shared_ptr<DigestJob> job;
    std::unique_ptr<DigestStream> stream;
    std::string written;
  };
  std::vector<Job> jobs(3);
  for (auto& j : jobs) {
    j.job = worker.NewJob();
    j.stream = std::make_unique<DigestStream>(j.inner, j.job);
  }
  for (int round = 0; round < 40; ++round) {
    Job& j = jobs[gen() % 2];  // the third job gets nothing
    std::string piece(gen() % 300000, '\0');
    for (auto& c : piece) c = static_cast<char>(gen());
    j.stream->WriteAll(piece.data(), piece.size());
    j.written += piece;
  }
  for (auto& j : jobs) {
    EXPECT_EQ(j.stream->Size(), static_cast<std::int64_t>(j.written.size()));
    EXPECT_EQ(j.job->Finish(), Sha256Of(j.written));
    EXPECT_EQ(std::string(j.inner.Bytes().begin(), j.inner.Bytes().end()), j.written);
  }
  EXPECT_THROW(jobs[0].stream->Seek(0, platform::SeekOrigin::soBeginning), platform::EStreamError);
}

}  // namespace
}  // namespace nolvo::media
