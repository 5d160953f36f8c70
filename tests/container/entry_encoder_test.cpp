// Entries encoded on worker threads make the archive, and the error, of storing them one by
// one on one thread.

#include "archive/container/entry_encoder.h"

#include <gtest/gtest.h>

#include "tests/support/corpus.h"

namespace nolvo::container {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Built {
  Bytes archive;
  std::string error;  // what stopped the build, "" when none
};

// `broken` (when in range) names a job whose source cannot be opened.
Built Build(const std::vector<Bytes>& files, int threads, std::int64_t limit, std::int32_t key,
            std::size_t broken) {
  std::vector<TEntryJob> jobs;
  for (std::size_t i = 0; i < files.size(); ++i) {
    TEntryJob job;
    job.StoredName = "dir\\file" + std::to_string(i);
    job.Method = i % 3 == 2 ? TCompressionMethod::coLZH : TCompressionMethod::coLZH5;
    job.FileDate = static_cast<std::int32_t>(i);
    job.SizeHint = static_cast<std::int64_t>(files[i].size());
    job.Open = [&files, i, broken]() -> std::unique_ptr<platform::ByteStream> {
      if (i == broken) throw platform::EStreamError("cannot open file" + std::to_string(i));
      return std::make_unique<platform::MemoryStream>(files[i]);
    };
    jobs.push_back(std::move(job));
  }
  platform::MemoryStream out;
  TWriterSettings settings;
  settings.Codec.Key = key;
  settings.Codec.Threads = threads;
  Built built;
  try {
    TArchiveWriter writer(out, settings);
    std::size_t seen = 0;
    const auto entries = AddEntriesInOrder(
        writer, jobs, threads, [&](std::size_t i) { EXPECT_EQ(i, seen++); }, limit);
    writer.Finish();
    EXPECT_EQ(entries.size(), files.size());
  } catch (const std::exception& e) {
    built.error = e.what();
  }
  built.archive = std::move(out.Bytes());
  return built;
}

TEST(EntryEncoder, AnyThreadCountMakesTheSameArchiveAndError) {
  std::vector<Bytes> files;
  for (std::size_t i = 0; i < 14; ++i) {
    const std::size_t size = i % 5 == 0 ? 0 : 300 * i * i;
    files.push_back(i % 4 == 1 ? test::RandomCorpus(size, i) : test::TextCorpus(size, i));
  }
  files.push_back(test::TextCorpus(700000, 99));  // split across threads within the entry
  const std::size_t none = files.size();
  const struct {
    std::int64_t limit;
    std::int32_t key;
    std::size_t broken;
  } cases[] = {
      {kWorkerEntryLimit, 0, none}, {0, 0, none}, {20000, 77, none}, {20000, 0, 3}, {20000, 0, 9},
      {kWorkerEntryLimit, 0, 14}};
  for (const auto& c : cases) {
    SCOPED_TRACE("limit " + std::to_string(c.limit) + " broken " + std::to_string(c.broken));
    const Built one = Build(files, 1, c.limit, c.key, c.broken);
    EXPECT_EQ(one.error.empty(), c.broken == none);
    for (const int threads : {2, 3, 8}) {
      const Built many = Build(files, threads, c.limit, c.key, c.broken);
      EXPECT_EQ(many.error, one.error) << threads;
      if (c.broken == none) {
        EXPECT_TRUE(many.archive == one.archive) << threads;
      }
    }
  }
}

}  // namespace
}  // namespace nolvo::container
