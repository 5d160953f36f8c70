// The media goals in one run: `nolvo pack`, `nolvo extract` and `nolvo test` of packed media,
// as child processes, against their own --threads 1 runs, the same archive as one file and
// the lh5 decoder alone.
//
// For each size the bench builds a product of text-like files (a quarter binary-like),
// packs it with `nolvo pack` (lh5, 1,440,000-byte segments) on N threads and on one, in
// turns (the media must come out byte-identical), and then runs in turns: `nolvo extract
// MEDIA` on N threads and on one, the same on a copy of the media without digest lists
// ("plain", the segments linked), on the same archive as one file, and `nolvo test` on N
// threads and on one. It reports the child's wall and processor time (user + sys, from
// wait4) as MB/s of original bytes, its peak resident memory, and the lh5 decoder's own MB/s
// on the very same stored streams (memory to a null sink). The goals come first, as ratios.
//
//   extract_bench [--mb N]... [--runs R] [--threads N] [--keep]
//     default: 16, 64 and 256 MB, best of 3 runs, N = the number of cores; --keep leaves
//     the product, media and last output in the temporary folder (for profiling)

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "archive/codec/codec_run.h"
#include "archive/container/entry_walk.h"
#include "archive/segment/seg_compress.h"
#include "bench/bench_process.h"
#include "bench/bench_timing.h"
#include "bench/temp_folder.h"
#include "platform/byte_stream.h"
#include "platform/file_ops.h"
#include "platform/machine.h"
#include "tests/support/corpus.h"

#ifndef NOLVO_TOOL_PATH
#error "NOLVO_TOOL_PATH must name the built nolvo program"
#endif

namespace {

namespace fs = std::filesystem;
using namespace nolvo;
using bench::ChildRun;
using bench::CpuSeconds;
using bench::Launcher;
using bench::TempFolder;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMB = 1000 * 1000;
constexpr std::size_t kFileCount = 8;

// A read-only stream over bytes someone else owns (no copy per decode run).
class ViewStream : public platform::ByteStream {
 public:
  explicit ViewStream(const Bytes& bytes) : bytes_(bytes) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, bytes_.size() - pos_);
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return n;
  }
  void WriteAll(const void*, std::size_t) override {
    throw platform::EStreamError("read-only stream");
  }
  std::int64_t Seek(std::int64_t offset, platform::SeekOrigin origin) override {
    const std::int64_t base = origin == platform::SeekOrigin::soBeginning ? 0
                              : origin == platform::SeekOrigin::soCurrent
                                  ? static_cast<std::int64_t>(pos_)
                                  : static_cast<std::int64_t>(bytes_.size());
    pos_ = static_cast<std::size_t>(
        std::clamp<std::int64_t>(base + offset, 0, static_cast<std::int64_t>(bytes_.size())));
    return static_cast<std::int64_t>(pos_);
  }
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }

 private:
  const Bytes& bytes_;
  std::size_t pos_ = 0;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// The product: kFileCount files adding up to `total` bytes, every fourth binary-like,
// spread over two folders. Returns the paths below the product folder.
std::vector<fs::path> BuildProduct(const fs::path& dir, std::size_t total) {
  std::vector<fs::path> names;
  fs::create_directories(dir);
  std::ofstream(dir / "install.cfg", std::ios::binary)
      << "[Setup - Main]\r\nInstall Dir=Product\r\n";
  for (std::size_t i = 0; i < kFileCount; ++i) {
    const std::size_t size = total / kFileCount + (i == 0 ? total % kFileCount : 0);
    const bool binary = i % 4 == 3;
    const fs::path name =
        fs::path(i < kFileCount / 2 ? "docs" : "data") /
        ((binary ? "table-" : "chapter-") + std::to_string(i) + (binary ? ".dat" : ".txt"));
    WriteFile(dir / name,
              binary ? test::BinaryCorpus(size, 100 + i) : test::TextCorpus(size, 100 + i));
    names.push_back(name);
  }
  return names;
}

// Whether every product file came out byte for byte (somewhere below `out`).
bool SameFiles(const fs::path& product, const std::vector<fs::path>& names, const fs::path& out) {
  std::size_t found = 0;
  for (const auto& entry : fs::recursive_directory_iterator(out)) {
    if (!entry.is_regular_file()) continue;
    const fs::path name = entry.path().filename();
    for (const auto& n : names) {
      if (n.filename() != name) continue;
      if (ReadAll(product / n) != ReadAll(entry.path())) return false;
      ++found;
    }
  }
  return found == names.size();
}

// The lh5 streams exactly as the media store them, read back through the segment reader.
struct StoredEntry {
  Bytes Data;
  std::int32_t OriginalSize = 0;
  std::uint32_t Checksum = 0;
  container::TCompressionMethod Method{};
};

// Also copies the archive, joined out of the segments, to `single`: the same archive as
// one file.
std::vector<StoredEntry> StoredEntries(const fs::path& work, const fs::path& media,
                                       const fs::path& single) {
  platform::Machine machine(work / "prefix");
  fs::create_directories(work / "tmp");
  if (!machine.MapDrive('m', media).ok() || !machine.MapDrive('t', work / "tmp").ok())
    throw std::runtime_error("cannot map the media and work folders");
  segment::TSegCompress reader(machine);
  reader.SetSegDir("m:\\");
  reader.SetSegBaseName("disk");
  reader.SetSegTmpDir("t:\\");
  std::vector<StoredEntry> entries;
  reader.OnSegArchiveJoined = [&](segment::TSegArc&, const std::string& joined) {
    nolvo::platform::WinError error;
    auto file = platform::OpenFileRead(machine, joined, platform::ShareMode::shDenyWrite, error);
    if (!file) throw std::runtime_error("cannot open the joined archive");
    {
      std::ofstream copy(single, std::ios::binary | std::ios::trunc);
      std::vector<char> buffer(1 << 16);
      while (const std::size_t got = file->Read(buffer.data(), buffer.size()))
        copy.write(buffer.data(), static_cast<std::streamsize>(got));
      if (!copy) throw std::runtime_error("cannot write " + single.string());
      file->Seek(0, platform::SeekOrigin::soBeginning);
    }
    container::ReadArchiveHeader(*file, {});
    container::TEntryWalker walker(*file);
    container::TArchiveEntry entry;
    while (walker.Next(entry)) {
      StoredEntry stored;
      stored.Data.resize(static_cast<std::size_t>(entry.Header.CompressedSize));
      container::ReadFully(*file, stored.Data.data(), stored.Data.size());
      stored.OriginalSize = entry.Header.OriginalSize;
      stored.Checksum = entry.Header.Checksum;
      stored.Method = entry.Header.Method;
      entries.push_back(std::move(stored));
    }
    return false;
  };
  segment::TSegArcList arcs;
  reader.ExpandSegArcs(arcs);
  return entries;
}

// Processor time of decoding every stored entry to a null sink; `sound` is cleared when
// an entry's checksum does not come out as stored.
double DecodeSeconds(const std::vector<StoredEntry>& entries, bool& sound) {
  const double t0 = CpuSeconds();
  for (const auto& e : entries) {
    ViewStream source(e.Data);
    platform::NullStream sink;
    std::int32_t checksum = 0;
    codec::RunCodec({}, sink, source, static_cast<std::int32_t>(e.Data.size()), e.OriginalSize,
                    e.Method, checksum, codec::TCodecDirection::cdExpand);
    if (static_cast<std::uint32_t>(checksum) != e.Checksum) sound = false;
  }
  return CpuSeconds() - t0;
}

// What one size measured; walls and processor times are the best of the runs.
struct Row {
  std::size_t mb = 0, segments = 0;
  double storedShare = 0, packCpu = 0, user = 0, sys = 0, extractCpu = 0, extractWall = 0;
  double decode = 0, plainCpu = 0, plainWall = 0, singleWall = 0, singleCpu = 0;
  double pack1Wall = 0, packNWall = 0, extract1Wall = 0, test1Wall = 0, testNWall = 0;
  double peakMb = 0;
  bool same = true, sound = true, packSame = true, singleSame = true, launcherPeak = false;
};

ChildRun Must(Launcher& launcher, const std::vector<std::string>& args, const fs::path& log,
              const char* what) {
  const ChildRun run = launcher.Run(args, log);
  if (run.exitCode != 0)
    throw std::runtime_error(std::string(what) + " failed (" + std::to_string(run.exitCode) +
                             "): " + ReadAll(log));
  return run;
}

bool SameFolders(const fs::path& a, const fs::path& b) {
  std::size_t count = 0;
  for (const auto& e : fs::directory_iterator(a)) {
    ++count;
    if (ReadAll(e.path()) != ReadAll(b / e.path().filename())) return false;
  }
  return count == static_cast<std::size_t>(std::distance(fs::directory_iterator(b), {}));
}

Row Measure(Launcher& launcher, std::size_t mb, int runs, const std::string& threads, bool keep) {
  const std::string tool = NOLVO_TOOL_PATH;
  TempFolder temp("extract_bench");
  if (keep) temp.Keep();
  const fs::path product = temp.Path() / "product", media = temp.Path() / "media",
                 media1 = temp.Path() / "media-1", out = temp.Path() / "out",
                 log = temp.Path() / "log.txt", single = temp.Path() / "single.arc";
  const std::size_t total = mb * kMB;
  const auto names = BuildProduct(product, total);
  Row row;
  row.mb = mb;

  // Packing on every thread and on one, in turns; the media must come out the same.
  auto pack = [&](const fs::path& to, const std::string& t) {
    fs::remove_all(to);
    return Must(launcher,
                {tool, "-q", "pack", product.string(), "-o", to.string(), "--method", "lh5",
                 "--segment-size", "1440000", "--threads", t},
                log, "nolvo pack");
  };
  double packCpu = 1e30, packN = 1e30, pack1 = 1e30;
  for (int r = 0; r < runs; ++r) {
    const ChildRun n = pack(media, threads);
    packN = std::min(packN, n.wall);
    packCpu = std::min(packCpu, n.user + n.sys);
    pack1 = std::min(pack1, pack(media1, "1").wall);
  }
  row.packSame = SameFolders(media, media1);
  if (!keep) fs::remove_all(media1);
  row.packCpu = packCpu;
  row.packNWall = packN;
  row.pack1Wall = pack1;

  std::uintmax_t mediaBytes = 0;
  for (const auto& e : fs::directory_iterator(media))
    if (e.path().filename().string().rfind("disk.", 0) == 0) {
      ++row.segments;
      mediaBytes += e.file_size();
    }
  row.storedShare = 100.0 * mediaBytes / total;
  const auto entries = StoredEntries(temp.Path() / "reader", media, single);
  // The same medium without its digest lists: what extraction costs unverified.
  const fs::path plain = temp.Path() / "plain";
  fs::create_directories(plain);
  for (const auto& e : fs::directory_iterator(media)) {
    const std::string name = e.path().filename().string();
    if (name.find(".sha256") == std::string::npos && name.find(".digests") == std::string::npos)
      fs::create_hard_link(e.path(), plain / name);
  }

  // All runs take turns, so that they meet the same neighbours.
  double bestCpu = 1e30, bestWall = 1e30, decode = 1e30, plainCpu = 1e30, plainWall = 1e30;
  double singleCpu = 1e30, singleWall = 1e30, extract1 = 1e30, test1 = 1e30, testN = 1e30;
  long peakKb = 0, floorKb = 0;
  for (int r = 0; r < runs; ++r) {
    fs::remove_all(out);
    const ChildRun run =
        Must(launcher, {tool, "extract", media.string(), "-d", out.string(), "--threads", threads},
             log, "nolvo extract");
    if (r == 0) row.same = SameFiles(product, names, out);
    if (run.user + run.sys < bestCpu) {
      bestCpu = run.user + run.sys;
      row.user = run.user;
      row.sys = run.sys;
    }
    bestWall = std::min(bestWall, run.wall);
    peakKb = std::max(peakKb, run.maxRssKb);
    floorKb = std::max(floorKb, run.launcherKb);
    decode = std::min(decode, DecodeSeconds(entries, row.sound));
    fs::remove_all(out);
    extract1 = std::min(
        extract1,
        Must(launcher, {tool, "extract", media.string(), "-d", out.string(), "--threads", "1"}, log,
             "nolvo extract --threads 1")
            .wall);
    fs::remove_all(out);
    const ChildRun bare =
        Must(launcher, {tool, "extract", plain.string(), "-d", out.string(), "--threads", threads},
             log, "nolvo extract (plain)");
    plainCpu = std::min(plainCpu, bare.user + bare.sys);
    plainWall = std::min(plainWall, bare.wall);
    fs::remove_all(out);
    const ChildRun one =
        Must(launcher, {tool, "extract", single.string(), "-d", out.string(), "--threads", threads},
             log, "nolvo extract (one file)");
    if (r == 0) row.singleSame = SameFiles(product, names, out);
    singleCpu = std::min(singleCpu, one.user + one.sys);
    singleWall = std::min(singleWall, one.wall);
    fs::remove_all(out);
    testN =
        std::min(testN, Must(launcher, {tool, "-q", "test", media.string(), "--threads", threads},
                             log, "nolvo test")
                            .wall);
    test1 = std::min(test1, Must(launcher, {tool, "-q", "test", media.string(), "--threads", "1"},
                                 log, "nolvo test --threads 1")
                                .wall);
  }
  if (!keep) fs::remove_all(out);
  row.extractCpu = total / bestCpu / 1e6;
  row.extractWall = total / bestWall / 1e6;
  row.decode = total / decode / 1e6;
  row.plainCpu = total / plainCpu / 1e6;
  row.plainWall = total / plainWall / 1e6;
  row.singleCpu = total / singleCpu / 1e6;
  row.singleWall = total / singleWall / 1e6;
  row.extract1Wall = extract1 / bestWall;  // as a ratio: --threads 1 time / --threads N time
  row.test1Wall = test1;
  row.testNWall = testN;
  row.peakMb = peakKb / 1024.0;
  row.launcherPeak = floorKb + 256 >= peakKb;
  return row;
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

void Goal(const std::string& what, double value, const char* target, const char* unit = "x") {
  std::printf("%-66s %8.2f%s %9s\n", what.c_str(), value, unit, target);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::size_t> sizes;
  int runs = 3;
  bool keep = false;
  std::string threads = std::to_string(std::max(1u, std::thread::hardware_concurrency()));
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--mb") == 0 && i + 1 < argc) {
      sizes.push_back(std::strtoul(argv[++i], nullptr, 10));
    } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
      threads = std::to_string(std::max(1, std::atoi(argv[++i])));
    } else if (std::strcmp(argv[i], "--keep") == 0) {
      keep = true;
    } else {
      std::fprintf(stderr, "usage: extract_bench [--mb N]... [--runs R] [--threads N] [--keep]\n");
      return 2;
    }
  }
  if (sizes.empty()) sizes = {16, 64, 256};

  std::vector<Row> rows;
  const std::string load0 = LoadAverage();
  try {
    Launcher launcher;
    for (const std::size_t mb : sizes) {
      rows.push_back(Measure(launcher, mb, runs, threads, keep));
      std::fprintf(stderr, "extract_bench: %zu MB measured\n", mb);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "extract_bench: %s\n", e.what());
    return 1;
  }
  std::printf(
      "extract_bench: nolvo pack, extract and test of lh5 media (%zu files, 3/4 text, "
      "1,440,000-byte segments), MB = 10^6 original bytes; best of %d runs; %s threads against "
      "1; %u cores; load average %s at the start, %s at the end\n\n",
      kFileCount, runs, threads.c_str(), std::thread::hardware_concurrency(), load0.c_str(),
      LoadAverage().c_str());
  std::printf("%-66s %9s %9s\n", "goal", "measured", "target");
  const std::string t = " --threads " + threads;
  for (const Row& r : rows) {
    const std::string at = std::to_string(r.mb) + " MB: ";
    Goal(at + "pack, wall: --threads 1 /" + t, r.pack1Wall / r.packNWall, ">= 1.7");
    Goal(at + "extract, wall: --threads 1 /" + t, r.extract1Wall, ">= 1.6");
    Goal(at + "test, wall: --threads 1 /" + t, r.test1Wall / r.testNWall, ">= 1.6");
    Goal(at + "extract, speed: segments (no lists) / one archive file", r.plainWall / r.singleWall,
         ">= 0.95");
    Goal(at + "extract, processor: segments / lh5 decoder alone", r.extractCpu / r.decode,
         ">= 0.80");
    Goal(at + "extract, wall: with digest lists / without", r.extractWall / r.plainWall, ">= 0.90");
    Goal(at + "extract, peak RSS", r.peakMb, "< 16 MB", "MB");
  }
  if (rows.size() > 1)
    Goal("peak RSS: largest size / smallest size", rows.back().peakMb / rows.front().peakMb,
         "<= 1.25");
  for (const Row& r : rows) {
    if (!r.packSame) std::printf("%zu MB: MEDIA OF --threads 1 AND%s DIFFER\n", r.mb, t.c_str());
    if (!r.same || !r.singleSame) std::printf("%zu MB: EXTRACTED FILES DIFFER\n", r.mb);
    if (!r.sound) std::printf("%zu MB: DECODER CHECKSUM FAILED\n", r.mb);
    if (r.launcherPeak) std::printf("%zu MB: the peak may be the launcher's own size\n", r.mb);
  }
  std::printf(
      "\nMB/s of original bytes. ext cpu: per processor second of the child (user+sys); ext "
      "wall: wall clock;\nlh5 dec: the decoder alone on the same stored streams, memory to null "
      "sink; plain: the media without digest lists;\none file: the same archive as one file; pack "
      "and test columns: wall seconds\n\n");
  std::printf("%6s %6s %8s %9s %7s %7s %9s %9s %9s %9s %9s %8s %8s %8s %8s %8s\n", "MB", "segs",
              "stored", "pack cpu", "user s", "sys s", "ext cpu", "ext wall", "lh5 dec",
              "plainwall", "one file", "RSS MB", "pack 1", ("pack " + threads).c_str(), "test 1",
              ("test " + threads).c_str());
  for (const Row& r : rows)
    std::printf(
        "%6zu %6zu %7.1f%% %9.2f %7.2f %7.2f %9.1f %9.1f %9.1f %9.1f %9.1f %8.1f %8.2f "
        "%8.2f %8.2f %8.2f\n",
        r.mb, r.segments, r.storedShare, r.packCpu, r.user, r.sys, r.extractCpu, r.extractWall,
        r.decode, r.plainWall, r.singleWall, r.peakMb, r.pack1Wall, r.packNWall, r.test1Wall,
        r.testNWall);
  return 0;
}
