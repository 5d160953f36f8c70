// Extraction of packed media by the real `nolvo extract`, against the lh5 decoder alone.
//
// For each size the bench builds a product of text-like files (a quarter binary-like),
// packs it with `nolvo pack` (lh5, 1,440,000-byte segments) into a host temporary
// folder, and runs `nolvo extract MEDIA -d OUT` as a child process several times. It
// reports the child's processor time (user + sys, from wait4) and wall time as MB/s of
// original bytes, its peak resident memory, and the lh5 decoder's own MB/s on the very
// same stored streams (from memory to a null sink). Goals: extract/decoder >= 0.80 on
// processor time, peak memory under 16 MB and flat across sizes.
//
// The same extraction runs, in turn, on a copy of the media without the digest lists
// (the segments linked, not copied): the "plain" columns and the verified/plain ratios
// show what checking every entry's SHA-256 costs. Goal: verified >= 0.9 x plain.
//
//   extract_bench [--mb N]... [--runs R] [--keep]
//     default: 16, 64 and 256 MB, best of 5 runs; --keep leaves the product, media and
//     last output in the temporary folder (for profiling) and names it

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
#include <vector>

#include "archive/codec/codec_run.h"
#include "archive/container/entry_walk.h"
#include "archive/segment/seg_compress.h"
#include "bench/bench_process.h"
#include "bench/bench_timing.h"
#include "platform/byte_stream.h"
#include "platform/file_ops.h"
#include "platform/machine.h"
#include "bench/temp_folder.h"
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
    throw platform::StreamError("read-only stream");
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
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// The product: kFileCount files adding up to `total` bytes, every fourth binary-like,
// spread over two folders. Returns the paths below the product folder.
std::vector<fs::path> BuildProduct(const fs::path& dir, std::size_t total) {
  std::vector<fs::path> names;
  fs::create_directories(dir);
  std::ofstream(dir / "install.cfg", std::ios::binary) << "[Setup - Main]\r\nInstall Dir=Product\r\n";
  for (std::size_t i = 0; i < kFileCount; ++i) {
    const std::size_t size = total / kFileCount + (i == 0 ? total % kFileCount : 0);
    const bool binary = i % 4 == 3;
    const fs::path name = fs::path(i < kFileCount / 2 ? "docs" : "data") /
                          ((binary ? "table-" : "chapter-") + std::to_string(i) +
                           (binary ? ".dat" : ".txt"));
    WriteFile(dir / name, binary ? test::BinaryCorpus(size, 100 + i) : test::TextCorpus(size, 100 + i));
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

std::vector<StoredEntry> StoredEntries(const fs::path& work, const fs::path& media) {
  platform::Machine machine(work / "prefix");
  fs::create_directories(work / "tmp");
  machine.MapDrive('m', media);
  machine.MapDrive('t', work / "tmp");
  segment::TSegCompress reader(machine);
  reader.SetSegDir("m:\\");
  reader.SetSegBaseName("disk");
  reader.SetSegTmpDir("t:\\");
  std::vector<StoredEntry> entries;
  reader.OnSegArchiveJoined = [&](segment::TSegArc&, const std::string& joined) {
    std::uint32_t error = 0;
    auto file = platform::OpenFileRead(machine, joined, platform::ShareMode::shDenyWrite, error);
    if (!file) throw std::runtime_error("cannot open the joined archive");
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
                    e.Method, checksum, true, false);
    if (static_cast<std::uint32_t>(checksum) != e.Checksum) sound = false;
  }
  return CpuSeconds() - t0;
}

void Measure(Launcher& launcher, std::size_t mb, int runs, bool keep) {
  const std::string tool = NOLVO_TOOL_PATH;
  TempFolder temp("extract_bench");
  if (keep) temp.Keep();
  const fs::path product = temp.Path() / "product", media = temp.Path() / "media",
                 out = temp.Path() / "out", log = temp.Path() / "log.txt";
  const std::size_t total = mb * kMB;
  const auto names = BuildProduct(product, total);

  const ChildRun pack = launcher.Run({tool, "-q", "pack", product.string(), "-o",
                                      media.string(), "--method", "lh5", "--segment-size",
                                      "1440000"},
                                     log);
  if (pack.exitCode != 0)
    throw std::runtime_error("nolvo pack failed (" + std::to_string(pack.exitCode) + "): " +
                             ReadAll(log));
  std::size_t segments = 0;
  std::uintmax_t mediaBytes = 0;
  for (const auto& e : fs::directory_iterator(media))
    if (e.path().filename().string().rfind("disk.", 0) == 0) {
      ++segments;
      mediaBytes += e.file_size();
    }
  const auto entries = StoredEntries(temp.Path() / "reader", media);
  // The same medium without its digest lists: what extraction costs unverified.
  const fs::path plain = temp.Path() / "plain";
  fs::create_directories(plain);
  for (const auto& e : fs::directory_iterator(media)) {
    const std::string name = e.path().filename().string();
    if (name.find(".sha256") == std::string::npos && name.find(".digests") == std::string::npos)
      fs::create_hard_link(e.path(), plain / name);
  }

  // Extract and decoder runs take turns, so that both meet the same neighbours.
  double bestUser = 0, bestSys = 0, bestCpu = 1e30, bestWall = 1e30, decode = 1e30;
  double plainCpu = 1e30, plainWall = 1e30;
  long peakKb = 0, floorKb = 0;
  bool same = true, sound = true;
  for (int r = 0; r < runs; ++r) {
    fs::remove_all(out);
    const ChildRun run =
        launcher.Run({tool, "extract", media.string(), "-d", out.string()}, log);
    if (run.exitCode != 0)
      throw std::runtime_error("nolvo extract failed (" + std::to_string(run.exitCode) +
                               "): " + ReadAll(log));
    if (r == 0) same = SameFiles(product, names, out);
    if (run.user + run.sys < bestCpu) {
      bestCpu = run.user + run.sys;
      bestUser = run.user;
      bestSys = run.sys;
    }
    bestWall = std::min(bestWall, run.wall);
    peakKb = std::max(peakKb, run.maxRssKb);
    floorKb = std::max(floorKb, run.launcherKb);
    decode = std::min(decode, DecodeSeconds(entries, sound));
    fs::remove_all(out);
    const ChildRun bare = launcher.Run({tool, "extract", plain.string(), "-d", out.string()}, log);
    if (bare.exitCode != 0)
      throw std::runtime_error("nolvo extract (plain) failed (" + std::to_string(bare.exitCode) +
                               "): " + ReadAll(log));
    plainCpu = std::min(plainCpu, bare.user + bare.sys);
    plainWall = std::min(plainWall, bare.wall);
  }
  if (!keep) fs::remove_all(out);

  const double extractCpuMbs = total / bestCpu / 1e6;
  const double decodeMbs = total / decode / 1e6;
  std::printf(
      "%6zu %6zu %7.1f%% %9.2f %7.2f %7.2f %9.1f %9.1f %9.1f %7.2f %8.1f %9.1f %9.1f %6.2f %6.2f "
      "%s%s%s\n",
      mb, segments, 100.0 * mediaBytes / total, pack.user + pack.sys, bestUser, bestSys,
      extractCpuMbs, total / bestWall / 1e6, decodeMbs, extractCpuMbs / decodeMbs, peakKb / 1024.0,
      total / plainCpu / 1e6, total / plainWall / 1e6, plainCpu / bestCpu, plainWall / bestWall,
      same ? "" : "OUTPUT DIFFERS ", sound ? "" : "DECODER CHECKSUM FAILED ",
              floorKb + 256 >= peakKb ? "(peak may be the launcher's own size)" : "");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::size_t> sizes;
  int runs = 5;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--mb") == 0 && i + 1 < argc) {
      sizes.push_back(std::strtoul(argv[++i], nullptr, 10));
    } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--keep") == 0) {
      keep = true;
    } else {
      std::fprintf(stderr, "usage: extract_bench [--mb N]... [--runs R] [--keep]\n");
      return 2;
    }
  }
  if (sizes.empty()) sizes = {16, 64, 256};

  std::printf(
      "nolvo extract on lh5 media (%zu files, 3/4 text, 1,440,000-byte segments); MB = 10^6 "
      "original bytes; best of %d runs\n"
      "ext cpu: MB/s per processor second of the child (user+sys); ext wall: MB/s wall clock;\n"
      "lh5 dec: the decoder alone on the same stored streams, memory to null sink; ratio = "
      "ext cpu / lh5 dec (goal >= 0.80); peak RSS of the child (goal < 16 MB);\n"
      "plain cpu/wall: the same media without digest lists (nothing hashed); v/p: verified\n"
      "speed / plain speed, processor and wall (goal >= 0.90)\n\n",
      kFileCount, runs);
  std::printf("%6s %6s %8s %9s %7s %7s %9s %9s %9s %7s %8s %9s %9s %6s %6s\n", "MB", "segs",
              "stored", "pack cpu", "user s", "sys s", "ext cpu", "ext wall", "lh5 dec", "ratio",
              "RSS MB", "plain cpu", "plainwall", "v/p c", "v/p w");
  std::fflush(stdout);
  try {
    Launcher launcher;
    for (const std::size_t mb : sizes) Measure(launcher, mb, runs, keep);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "extract_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
