// Throughput of the codec run for every method and direction on four generated
// corpora, with zlib (deflate level 6, inflate) as the reference peer, and the peak
// heap memory one run allocates.
//
//   codec_bench [--mb N] [--big] [--corpus NAME] [--method NAME]
//     N MB per corpus (default 16; --big: 64); --corpus / --method measure only one.

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "archive/codec/codec_run.h"
#include "bench/bench_heap.h"
#include "bench/bench_timing.h"
#include "platform/byte_stream.h"
#include "tests/support/corpus.h"

namespace {

using nolvo::codec::CodecComponent;
using nolvo::codec::RunCodec;
using nolvo::codec::TCodecDirection;
using nolvo::codec::TCompressionMethod;
using nolvo::platform::MemoryStream;
using nolvo::platform::NullStream;
using Bytes = std::vector<std::uint8_t>;

// Decoding is quick, so it is timed more often: the best of more runs is less
// disturbed by neighbours on the machine.
constexpr int kDecodeRepeat = 7;

struct Result {
  double encode_mbs = 0;
  double decode_mbs = 0;
  double ratio = 0;  // stored / original
  std::size_t encode_heap = 0;
  std::size_t decode_heap = 0;
  bool ok = false;
};

Bytes Encode(const Bytes& data, TCompressionMethod method) {
  MemoryStream source(data);
  MemoryStream dest;
  dest.Bytes().reserve(data.size() + data.size() / 8 + 8192);
  CodecComponent roomy;
  roomy.SizeMargin = -static_cast<std::int32_t>(data.size() / 4 + 65536);
  std::int32_t checksum = 0;
  RunCodec(roomy, dest, source, static_cast<std::int32_t>(data.size()), 0, method, checksum,
           TCodecDirection::cdCompress);
  return std::move(dest.Bytes());
}

Result Measure(const Bytes& data, TCompressionMethod method, int repeat) {
  Result r;
  Bytes stored;
  const double enc = nolvo::bench::BestCpuSeconds([&] { stored = Encode(data, method); }, repeat);
  Bytes out;
  const double dec = nolvo::bench::BestCpuSeconds(
      [&] {
        MemoryStream source(stored);
        MemoryStream dest;
        dest.Bytes().reserve(data.size() + 256);
        std::int32_t checksum = 0;
        RunCodec(CodecComponent{}, dest, source, static_cast<std::int32_t>(stored.size()),
                 static_cast<std::int32_t>(data.size()), method, checksum,
                 TCodecDirection::cdExpand);
        out = std::move(dest.Bytes());
      },
      kDecodeRepeat);
  r.ok = out == data;
  r.encode_mbs = data.size() / enc / 1e6;
  r.decode_mbs = data.size() / dec / 1e6;
  r.ratio = static_cast<double>(stored.size()) / data.size();

  // Heap of one run alone: input held by the caller, output discarded.
  {
    MemoryStream source(data);
    NullStream dest;
    CodecComponent roomy;
    roomy.SizeMargin = -static_cast<std::int32_t>(data.size() / 4 + 65536);
    std::int32_t checksum = 0;
    const std::size_t before = g_heap_now;
    g_heap_peak = before;
    RunCodec(roomy, dest, source, static_cast<std::int32_t>(data.size()), 0, method, checksum,
             TCodecDirection::cdCompress);
    r.encode_heap = g_heap_peak - before;
  }
  {
    MemoryStream source(stored);
    NullStream dest;
    std::int32_t checksum = 0;
    const std::size_t before = g_heap_now;
    g_heap_peak = before;
    RunCodec(CodecComponent{}, dest, source, static_cast<std::int32_t>(stored.size()),
             static_cast<std::int32_t>(data.size()), method, checksum, TCodecDirection::cdExpand);
    r.decode_heap = g_heap_peak - before;
  }
  return r;
}

Result MeasureZlib(const Bytes& data, int repeat) {
  Result r;
  Bytes stored(compressBound(data.size()));
  uLongf stored_size = 0;
  const double enc = nolvo::bench::BestCpuSeconds(
      [&] {
        stored_size = stored.size();
        compress2(stored.data(), &stored_size, data.data(), data.size(), 6);
      },
      repeat);
  Bytes out(data.size());
  const double dec = nolvo::bench::BestCpuSeconds(
      [&] {
        uLongf out_size = out.size();
        uncompress(out.data(), &out_size, stored.data(), stored_size);
      },
      kDecodeRepeat);
  r.ok = out == data;
  r.encode_mbs = data.size() / enc / 1e6;
  r.decode_mbs = data.size() / dec / 1e6;
  r.ratio = static_cast<double>(stored_size) / data.size();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t mb = 16;
  std::string only_corpus;
  std::string only_method;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--corpus") == 0 && i + 1 < argc) only_corpus = argv[++i];
    if (std::strcmp(argv[i], "--method") == 0 && i + 1 < argc) only_method = argv[++i];
    if (std::strcmp(argv[i], "--big") == 0) mb = 64;
    if (std::strcmp(argv[i], "--mb") == 0 && i + 1 < argc)
      mb = std::strtoul(argv[++i], nullptr, 10);
  }
  const std::size_t size = mb * 1000 * 1000;
  struct Corpus {
    const char* name;
    Bytes data;
  };
  std::vector<Corpus> corpora;
  auto add = [&](const char* name, Bytes (*make)(std::size_t)) {
    if (only_corpus.empty() || only_corpus == name) corpora.push_back({name, make(size)});
  };
  add("text", [](std::size_t n) { return nolvo::test::TextCorpus(n); });
  add("binary", [](std::size_t n) { return nolvo::test::BinaryCorpus(n); });
  add("random", [](std::size_t n) { return nolvo::test::RandomCorpus(n); });
  add("repetitive", [](std::size_t n) { return nolvo::test::RepetitiveCorpus(n); });
  const std::pair<const char*, TCompressionMethod> methods[] = {
      {"lh5", TCompressionMethod::coLZH5},
      {"lzhuf", TCompressionMethod::coLZH},
      {"rle", TCompressionMethod::coRLE}};

  std::printf(
      "corpus size %zu MB (10^6 bytes); MB/s of original bytes per processor second, best of 2 "
      "runs (decoding: best of %d)\n\n",
      mb, kDecodeRepeat);
  std::printf("%-10s %-6s %10s %10s %10s %10s %8s %9s %9s %s\n", "corpus", "method", "enc MB/s",
              "enc/zlib", "dec MB/s", "dec/zlib", "ratio", "enc heap", "dec heap", "");
  for (const Corpus& c : corpora) {
    const Result z = MeasureZlib(c.data, 2);
    std::printf("%-10s %-6s %10.1f %10s %10.1f %10s %7.1f%% %9s %9s %s\n", c.name, "zlib-6",
                z.encode_mbs, "1.00", z.decode_mbs, "1.00", 100 * z.ratio, "", "",
                z.ok ? "" : "ROUND TRIP FAILED");
    for (const auto& [name, method] : methods) {
      if (!only_method.empty() && only_method != name) continue;
      const Result r = Measure(c.data, method, 2);
      std::printf("%-10s %-6s %10.1f %10.2f %10.1f %10.2f %7.1f%% %8zuK %8zuK %s\n", c.name, name,
                  r.encode_mbs, r.encode_mbs / z.encode_mbs, r.decode_mbs,
                  r.decode_mbs / z.decode_mbs, 100 * r.ratio, r.encode_heap / 1024,
                  r.decode_heap / 1024, r.ok ? "" : "ROUND TRIP FAILED");
      std::fflush(stdout);
    }
  }
  return 0;
}
