// Container overhead: expanding an lh5 entry through the archive walk and checksum rules
// against running the codec directly on the same stored bytes.

#include <benchmark/benchmark.h>

#include <random>

#include "archive/codec/codec_run.h"
#include "archive/container/archive_writer.h"
#include "archive/container/entry_walk.h"
#include "archive/container/expand_entry.h"

using namespace nolvo;

namespace {

constexpr std::size_t kSize = 16 << 20;

// Text-like data: words from a small vocabulary, so lh5 gets a realistic ratio.
std::vector<std::uint8_t> SampleData() {
  static const char* kWords[] = {"setup ",   "archive ", "install ", "file ", "directory ",
                                 "windows ", "program ", "the ",     "of ",   "and\r\n"};
  std::mt19937 gen(42);
  std::vector<std::uint8_t> data;
  data.reserve(kSize);
  while (data.size() < kSize) {
    const char* w = kWords[gen() % 10];
    while (*w && data.size() < kSize) data.push_back(static_cast<std::uint8_t>(*w++));
  }
  return data;
}

struct Fixture {
  Fixture() {
    platform::MemoryStream source(SampleData());
    container::TArchiveWriter writer(archive, {});
    writer.AddEntry("data.txt", source, kSize, container::TCompressionMethod::coLZH5, 0, 0);
    writer.Finish();
    archive.Seek(0, platform::SeekOrigin::soBeginning);
    container::ReadArchiveHeader(archive, nullptr);
    container::TEntryWalker walker(archive);
    walker.Next(entry);
  }
  platform::MemoryStream archive;
  container::TArchiveEntry entry;
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_ExpandEntry(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    platform::NullStream sink;
    container::ExpandEntry(f.entry, f.archive, sink, {});
    benchmark::DoNotOptimize(sink.Size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSize);
}

void BM_RunCodecDirect(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    f.archive.Seek(f.entry.DataStart, platform::SeekOrigin::soBeginning);
    platform::NullStream sink;
    std::int32_t checksum = 0;
    codec::RunCodec({}, sink, f.archive, f.entry.Header.CompressedSize, f.entry.Header.OriginalSize,
                    codec::TCompressionMethod::coLZH5, checksum, codec::TCodecDirection::cdExpand);
    benchmark::DoNotOptimize(checksum);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSize);
}

}  // namespace

BENCHMARK(BM_ExpandEntry)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunCodecDirect)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
