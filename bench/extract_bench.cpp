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
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMB = 1000 * 1000;
constexpr std::size_t kFileCount = 8;

using bench::TempFolder;

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

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

double Seconds(const timeval& tv) { return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6; }

// Resident memory of this process now, in KB (a forked child starts from it).
long SelfRssKb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

struct ChildRun {
  int exitCode = -1;
  double user = 0, sys = 0, wall = 0;
  long maxRssKb = 0;
  long launcherKb = 0;  // the launcher's resident size at the fork: the child's floor
};

// Runs `args` with standard input from /dev/null and both outputs into `log`, and waits
// for it.
ChildRun Spawn(const std::vector<std::string>& args, const std::string& log) {
  ChildRun run;
  run.launcherKb = SelfRssKb();
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) return run;
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return run;
  run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.user = Seconds(usage.ru_utime);
  run.sys = Seconds(usage.ru_stime);
  run.maxRssKb = usage.ru_maxrss;
  return run;
}

bool ReadExact(int fd, void* buffer, std::size_t count) {
  auto* p = static_cast<char*>(buffer);
  while (count > 0) {
    const ssize_t n = ::read(fd, p, count);
    if (n <= 0) return false;
    p += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteExact(int fd, const void* buffer, std::size_t count) {
  const auto* p = static_cast<const char*>(buffer);
  while (count > 0) {
    const ssize_t n = ::write(fd, p, count);
    if (n <= 0) return false;
    p += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

// A small process, forked before the bench holds any data, that starts the children.
// A child's peak memory (ru_maxrss) counts from the size of the process it was forked
// from, so the bench itself, holding the stored streams, must not be that process.
class Launcher {
 public:
  Launcher() {
    int request[2], reply[2];
    if (::pipe(request) != 0 || ::pipe(reply) != 0) throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      ::close(request[1]);
      ::close(reply[0]);
      Serve(request[0], reply[1]);
      ::_exit(0);
    }
    ::close(request[0]);
    ::close(reply[1]);
    to_ = request[1];
    from_ = reply[0];
  }
  ~Launcher() {
    ::close(to_);  // the launcher sees the end and leaves
    ::close(from_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  Launcher(const Launcher&) = delete;
  Launcher& operator=(const Launcher&) = delete;

  ChildRun Run(const std::vector<std::string>& args, const fs::path& log) {
    std::string message = log.string();
    for (const auto& a : args) message += '\0' + a;
    const auto size = static_cast<std::uint32_t>(message.size());
    ChildRun run;
    if (!WriteExact(to_, &size, sizeof size) || !WriteExact(to_, message.data(), size) ||
        !ReadExact(from_, &run, sizeof run))
      throw std::runtime_error("the launcher process is gone");
    if (run.exitCode < 0) throw std::runtime_error("cannot start " + args.front());
    return run;
  }

 private:
  static void Serve(int in, int out) {
    std::uint32_t size = 0;
    while (ReadExact(in, &size, sizeof size)) {
      std::string message(size, '\0');
      if (!ReadExact(in, message.data(), size)) return;
      std::vector<std::string> parts;
      std::size_t from = 0;
      for (std::size_t zero; (zero = message.find('\0', from)) != std::string::npos; from = zero + 1)
        parts.push_back(message.substr(from, zero - from));
      parts.push_back(message.substr(from));
      const std::string log = parts.front();
      parts.erase(parts.begin());
      const ChildRun run = Spawn(parts, log);
      if (!WriteExact(out, &run, sizeof run)) return;
    }
  }

  pid_t pid_ = -1;
  int to_ = -1;
  int from_ = -1;
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

  // Extract and decoder runs take turns, so that both meet the same neighbours.
  double bestUser = 0, bestSys = 0, bestCpu = 1e30, bestWall = 1e30, decode = 1e30;
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
  }
  if (!keep) fs::remove_all(out);

  const double extractCpuMbs = total / bestCpu / 1e6;
  const double decodeMbs = total / decode / 1e6;
  std::printf("%6zu %6zu %7.1f%% %9.2f %7.2f %7.2f %9.1f %9.1f %9.1f %7.2f %8.1f %s%s%s\n", mb,
              segments, 100.0 * mediaBytes / total, pack.user + pack.sys, bestUser, bestSys,
              extractCpuMbs, total / bestWall / 1e6, decodeMbs, extractCpuMbs / decodeMbs,
              peakKb / 1024.0, same ? "" : "OUTPUT DIFFERS ", sound ? "" : "DECODER CHECKSUM FAILED ",
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
      "ext cpu / lh5 dec (goal >= 0.80); peak RSS of the child (goal < 16 MB)\n\n",
      kFileCount, runs);
  std::printf("%6s %6s %8s %9s %7s %7s %9s %9s %9s %7s %8s\n", "MB", "segs", "stored",
              "pack cpu", "user s", "sys s", "ext cpu", "ext wall", "lh5 dec", "ratio", "RSS MB");
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
