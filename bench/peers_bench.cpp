// The speed goals of the lh5 codec in one run, against the peers this machine has:
// zlib in process, and bsdtar, lhasa, jlha, gzip and cp as whole processes.
//
//   peers_bench [--input FILE] [--mb N] [--runs R] [--threads N] [--nolvo PATH]
//     FILE: the text to compress (default: the first N MB (2^20 bytes, default 32) of a
//     tar of /usr/include); R: runs of every command, best taken (default 3); N threads
//     for `nolvo archive create` (default: the number of cores); PATH: another build of
//     the nolvo program to measure (such as an older one, for before and after).
//
// Whole processes run in turns (ours, then the peers, R times), so all meet the same
// neighbours; wall time is what the goals compare, user and sys are shown beside it.
// Decoding runs on the -lh5- stream jlha made (wrapped as a nolvo archive), so every
// decoder reads the same stream. In process, the codec run against zlib on the generated
// text corpus (processor time), and the encoder's peak heap per thread.

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "archive/codec/codec_run.h"
#include "bench/bench_heap.h"
#include "bench/bench_process.h"
#include "bench/bench_timing.h"
#include "platform/byte_stream.h"
#include "tests/codec/lha_member.h"
#include "tests/support/corpus.h"

#ifndef NOLVO_TOOL_PATH
#error "NOLVO_TOOL_PATH must name the built nolvo program"
#endif

namespace {

namespace fs = std::filesystem;
using namespace nolvo;
using bench::ChildRun;
using bench::Launcher;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMiB = 1024 * 1024;

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// The full path of a program on PATH, or empty.
std::string FindTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t from = 0; from <= dirs.size();) {
    std::size_t colon = dirs.find(':', from);
    if (colon == std::string::npos) colon = dirs.size();
    const fs::path candidate = fs::path(dirs.substr(from, colon - from)) / name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    from = colon + 1;
  }
  return {};
}

// The first `size` bytes of a tar of /usr/include, or generated text when tar is missing
// or gives too little.
Bytes HeaderTar(std::size_t size) {
  Bytes out;
  if (FILE* tar = ::popen("tar cf - /usr/include 2>/dev/null", "r")) {
    out.resize(size);
    std::size_t n = 0;
    while (n < size) {
      const std::size_t got = std::fread(out.data() + n, 1, size - n, tar);
      if (got == 0) break;
      n += got;
    }
    ::pclose(tar);
    out.resize(n);
  }
  if (out.size() < size) {
    std::fprintf(stderr, "peers_bench: no tar of /usr/include; generated text instead\n");
    return test::TextCorpus(size);
  }
  return out;
}

// Our archive of one -lh5- entry holding `stored`, which expands to `original`.
Bytes WrapLh5(const Bytes& stored, const Bytes& original) {
  Bytes out = {'V', 'E', 'L', 'K', 0x1A, 'L', 'H', '5'};
  auto put = [&](std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  std::uint32_t sum = 0;
  for (std::uint8_t b : original) sum += b;
  const std::string name = "input.tar";
  put(original.size(), 4);  // total size
  out.push_back(1);         // archive type
  put(0, 8);
  put(name.size(), 2);
  put(0, 4);     // date
  put(0x20, 2);  // attributes
  put(original.size(), 4);
  put(stored.size(), 4);
  out.push_back(4);  // coLZH5
  put(sum, 4);
  put(0, 4);  // not locked
  out.insert(out.end(), name.begin(), name.end());
  out.insert(out.end(), stored.begin(), stored.end());
  return out;
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

// One command measured as a whole process, best of the runs.
struct Command {
  std::string label;
  std::vector<std::string> args;
  std::string output;            // where its standard output goes
  std::function<void()> before;  // run before each start (not timed)
  ChildRun best;
  double bestWall = 1e30, bestCpu = 1e30;
  long peakKb = 0;
  bool failed = false;
};

Command Cmd(std::string label, std::vector<std::string> args, std::string output,
            std::function<void()> before = {}) {
  Command c;
  c.label = std::move(label);
  c.args = std::move(args);
  c.output = std::move(output);
  c.before = std::move(before);
  return c;
}

void RunOnce(Launcher& launcher, Command& c) {
  if (c.failed) return;
  if (c.before) c.before();
  const ChildRun run = launcher.Run(c.args, c.output);
  if (run.exitCode != 0) {
    std::fprintf(stderr, "peers_bench: %s failed (%d)\n", c.label.c_str(), run.exitCode);
    c.failed = true;
    return;
  }
  c.bestWall = std::min(c.bestWall, run.wall);
  c.bestCpu = std::min(c.bestCpu, run.user + run.sys);
  if (run.user + run.sys <= c.bestCpu) c.best = run;
  c.peakKb = std::max(c.peakKb, run.maxRssKb);
}

struct InProcess {
  double encode = 0, decode = 0, zlibEncode = 0, zlibDecode = 0;  // MB/s per processor second
  double heapSingle = 0, heapParallel = 0;                        // bytes
  bool ok = true;
};

InProcess MeasureInProcess(int threads) {
  InProcess r;
  const Bytes data = test::TextCorpus(16 * 1000 * 1000);
  const double mb = data.size() / 1e6;
  auto encode = [&](int t, Bytes& stored) {
    platform::MemoryStream source(data);
    platform::MemoryStream dest;
    codec::CodecComponent roomy;
    roomy.SizeMargin = -static_cast<std::int32_t>(data.size() / 4 + 65536);
    roomy.Threads = t;
    std::int32_t checksum = 0;
    codec::RunCodec(roomy, dest, source, static_cast<std::int32_t>(data.size()), 0,
                    codec::TCompressionMethod::coLZH5, checksum,
                    codec::TCodecDirection::cdCompress);
    stored = std::move(dest.Bytes());
  };
  Bytes stored;
  r.encode = mb / bench::BestCpuSeconds([&] { encode(1, stored); }, 2);
  Bytes out;
  r.decode = mb / bench::BestCpuSeconds(
                      [&] {
                        platform::MemoryStream source(stored);
                        platform::MemoryStream dest;
                        dest.Bytes().reserve(data.size() + 256);
                        std::int32_t checksum = 0;
                        codec::RunCodec({}, dest, source, static_cast<std::int32_t>(stored.size()),
                                        static_cast<std::int32_t>(data.size()),
                                        codec::TCompressionMethod::coLZH5, checksum,
                                        codec::TCodecDirection::cdExpand);
                        out = std::move(dest.Bytes());
                      },
                      7);
  r.ok = out == data;

  Bytes z(compressBound(data.size()));
  uLongf zSize = 0;
  r.zlibEncode = mb / bench::BestCpuSeconds(
                          [&] {
                            zSize = z.size();
                            compress2(z.data(), &zSize, data.data(), data.size(), 6);
                          },
                          2);
  Bytes back(data.size());
  r.zlibDecode = mb / bench::BestCpuSeconds(
                          [&] {
                            uLongf n = back.size();
                            uncompress(back.data(), &n, z.data(), zSize);
                          },
                          7);

  // Heap of one run alone: the input held by the caller, the output discarded.
  for (int t : {1, threads}) {
    platform::MemoryStream source(data);
    platform::NullStream sink;
    codec::CodecComponent roomy;
    roomy.SizeMargin = -static_cast<std::int32_t>(data.size() / 4 + 65536);
    roomy.Threads = t;
    std::int32_t checksum = 0;
    const std::size_t before = g_heap_now;
    g_heap_peak = before;
    codec::RunCodec(roomy, sink, source, static_cast<std::int32_t>(data.size()), 0,
                    codec::TCompressionMethod::coLZH5, checksum,
                    codec::TCodecDirection::cdCompress);
    (t == 1 ? r.heapSingle : r.heapParallel) = static_cast<double>(g_heap_peak - before);
    Bytes again;
    encode(t, again);
    if (again != stored) r.ok = false;
  }
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  std::string input;
  std::size_t mb = 32;
  int runs = 3;
  int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::string tool = NOLVO_TOOL_PATH;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--input" && i + 1 < argc) {
      input = argv[++i];
    } else if (a == "--mb" && i + 1 < argc) {
      mb = std::strtoul(argv[++i], nullptr, 10);
    } else if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--threads" && i + 1 < argc) {
      threads = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--nolvo" && i + 1 < argc) {
      tool = fs::absolute(argv[++i]).string();
    } else {
      std::fprintf(stderr,
                   "usage: peers_bench [--input FILE] [--mb N] [--runs R] [--threads N] "
                   "[--nolvo PATH]\n");
      return 2;
    }
  }
  try {
    Launcher launcher;  // before the bench holds any data
    bench::TempFolder temp("peers");
    const fs::path dir = temp.Path();
    const std::string nul = "/dev/null";
    const std::string log = (dir / "log.txt").string();
    const fs::path text = dir / "input.tar";
    Bytes original = input.empty() ? HeaderTar(mb * kMiB) : ReadBytes(input);
    WriteBytes(text, original);
    const std::string load0 = LoadAverage();

    std::map<std::string, std::string> tools;
    for (const char* name : {"jlha", "bsdtar", "lhasa", "gzip", "cp"}) tools[name] = FindTool(name);

    // The stream every decoder reads: jlha's when it is there, else ours.
    const fs::path lzh = dir / "jlha.lzh", wrapped = dir / "jlha.arc", gz = dir / "input.tar.gz";
    const fs::path ours1 = dir / "ours-1.arc", oursN = dir / "ours-n.arc";
    std::string streamFrom = "jlha";
    if (!tools["jlha"].empty()) {
      launcher.Run({tools["jlha"], "a", lzh.string(), text.string()}, log);
      const auto member = codec::test::ReadFirstLhaMember(ReadBytes(lzh));
      WriteBytes(wrapped, WrapLh5(member.stored, original));
    } else {
      streamFrom = "nolvo (no jlha)";
      launcher.Run({tool, "-q", "archive", "create", ours1.string(), text.string()}, log);
      fs::copy_file(ours1, wrapped, fs::copy_options::overwrite_existing);
    }
    if (!tools["gzip"].empty()) launcher.Run({tools["gzip"], "-k", "-6", text.string()}, log);
    original = {};

    auto remove = [](fs::path p) {
      return [p] {
        std::error_code ec;
        fs::remove(p, ec);
      };
    };
    const std::string n = std::to_string(threads);
    // An older build without --threads encodes on one thread either way.
    launcher.Run({tool, "archive", "create", "--help"}, log);
    std::ifstream help(log);
    const bool threaded = std::string(std::istreambuf_iterator<char>(help), {}).find("--threads") !=
                          std::string::npos;
    auto create = [&](const fs::path& out, const std::string& t) {
      std::vector<std::string> args = {tool,         "-q",          "archive",  "create",
                                       out.string(), text.string(), "--method", "lh5"};
      if (threaded) args.insert(args.end(), {"--threads", t});
      return args;
    };
    std::vector<Command> encoders;
    encoders.push_back(
        Cmd("nolvo archive create --threads " + n, create(oursN, n), log, remove(oursN)));
    encoders.push_back(
        Cmd("nolvo archive create --threads 1", create(ours1, "1"), log, remove(ours1)));
    if (!threaded) std::printf("(%s has no --threads option: one thread)\n", tool.c_str());
    if (!tools["jlha"].empty())
      encoders.push_back(Cmd("jlha a",
                             {tools["jlha"], "a", (dir / "again.lzh").string(), text.string()}, log,
                             remove(dir / "again.lzh")));
    if (!tools["gzip"].empty())
      encoders.push_back(Cmd("gzip -6 -c", {tools["gzip"], "-6", "-c", text.string()}, nul));
    if (!tools["cp"].empty())
      encoders.push_back(Cmd("cp", {tools["cp"], text.string(), (dir / "copy").string()}, log,
                             remove(dir / "copy")));
    std::vector<Command> decoders;
    decoders.push_back(Cmd("nolvo test", {tool, "-q", "test", wrapped.string()}, log));
    if (!tools["bsdtar"].empty() && fs::exists(lzh))
      decoders.push_back(Cmd("bsdtar -xOf", {tools["bsdtar"], "-xOf", lzh.string()}, nul));
    if (!tools["lhasa"].empty() && fs::exists(lzh))
      decoders.push_back(Cmd("lhasa pq", {tools["lhasa"], "pq", lzh.string()}, nul));
    if (!tools["gzip"].empty())
      decoders.push_back(Cmd("gzip -dc", {tools["gzip"], "-dc", gz.string()}, nul));
    if (!tools["cp"].empty())
      decoders.push_back(Cmd("cp", {tools["cp"], text.string(), (dir / "copy").string()}, log,
                             remove(dir / "copy")));

    for (int r = 0; r < runs; ++r) {
      for (auto& c : encoders) RunOnce(launcher, c);
      for (auto& c : decoders) RunOnce(launcher, c);
    }
    const bool same = ReadBytes(ours1) == ReadBytes(oursN);
    const std::string load1 = LoadAverage();
    const InProcess in = MeasureInProcess(threads);

    auto wall = [](const std::vector<Command>& list, const std::string& label) {
      for (const auto& c : list)
        if (c.label == label && !c.failed) return c.bestWall;
      return 0.0;
    };
    const double oursEnc = encoders[0].bestWall, oursDec = decoders[0].bestWall;
    std::printf(
        "peers_bench: %.1f MB (10^6 bytes) input, stream for decoding made by %s; best of %d; "
        "load average %s at the start, %s at the end; %u cores\n\n",
        fs::file_size(text) / 1e6, streamFrom.c_str(), runs, load0.c_str(), load1.c_str(),
        std::thread::hardware_concurrency());
    std::printf("%-58s %9s %8s\n", "goal", "measured", "target");
    auto goal = [](const std::string& what, double v, const char* target) {
      if (v > 0) {
        std::printf("%-58s %8.2fx %8s\n", what.c_str(), v, target);
      } else {
        std::printf("%-58s %9s %8s\n", what.c_str(), "n/a", target);
      }
    };
    const double jlhaEnc = wall(encoders, "jlha a");
    goal("lh5 encoding, wall: jlha a / nolvo archive create -t " + n,
         jlhaEnc > 0 ? jlhaEnc / oursEnc : 0, ">= 5");
    goal("lh5 encoding, wall: jlha a / nolvo archive create -t 1",
         jlhaEnc > 0 ? jlhaEnc / encoders[1].bestWall : 0, "");
    goal("lh5 encoding, wall: gzip -6 / nolvo archive create -t " + n,
         wall(encoders, "gzip -6 -c") > 0 ? wall(encoders, "gzip -6 -c") / oursEnc : 0, "");
    const double bsd = wall(decoders, "bsdtar -xOf");
    goal("lh5 decoding, wall: bsdtar -xOf / nolvo test", bsd > 0 ? bsd / oursDec : 0, ">= 5");
    const double lhasa = wall(decoders, "lhasa pq");
    goal("lh5 decoding, wall: lhasa pq / nolvo test", lhasa > 0 ? lhasa / oursDec : 0, "");
    goal("in process, text corpus: lh5 decoding / zlib inflate", in.decode / in.zlibDecode,
         ">= 1.8");
    goal("in process, text corpus: lh5 encoding / zlib deflate -6", in.encode / in.zlibEncode, "");
    std::printf("%-58s %7.2fMB %8s\n", ("lh5 encoder heap per thread at " + n + " threads").c_str(),
                in.heapParallel / threads / 1e6, "< 4 MB");
    std::printf("%-58s %7.2fMB %8s\n", "lh5 encoder heap, single-threaded", in.heapSingle / 1e6,
                "");
    std::printf("%-58s %9s\n", ("archives of --threads 1 and " + n + " byte-identical").c_str(),
                same ? "yes" : "NO");
    if (!in.ok) std::printf("IN-PROCESS ROUND TRIP OR PARALLEL STREAM DIFFERS\n");

    std::printf("\n%-40s %8s %8s %8s %8s %9s\n", "whole process (best of runs)", "wall s", "user s",
                "sys s", "RSS MB", "MB/s wall");
    const double size = static_cast<double>(fs::file_size(text));
    for (const auto* list : {&encoders, &decoders}) {
      for (const auto& c : *list) {
        if (c.failed) {
          std::printf("%-40s failed\n", c.label.c_str());
          continue;
        }
        std::printf("%-40s %8.3f %8.3f %8.3f %8.1f %9.1f\n", c.label.c_str(), c.bestWall,
                    c.best.user, c.best.sys, c.peakKb / 1024.0, size / c.bestWall / 1e6);
      }
      std::printf("\n");
    }
    for (const char* name : {"jlha", "bsdtar", "lhasa", "gzip", "cp"})
      if (tools[name].empty()) std::printf("not measured: %s is not installed\n", name);
    std::printf(
        "in process (text corpus, 16 MB, MB/s per processor second): lh5 encode %.1f, "
        "decode %.1f; zlib-6 deflate %.1f, inflate %.1f\n",
        in.encode, in.decode, in.zlibEncode, in.zlibDecode);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "peers_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
