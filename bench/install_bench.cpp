// Installation at scale by the real `nolvo install`, against what the same files take
// to unpack and put in place by other means.
//
// The bench builds a product of many files (default 3000 files, 300 MB, text-like with
// every fourth file binary-like, spread over 30 folders, each folder bound to a <SUBn>
// token), packs it with `nolvo pack` (lh5, 1,440,000-byte segments) and then times, as
// child processes:
//   extract   `nolvo extract MEDIA -d OUT`
//   copy      `cp -r PRODUCT COPY`
//   install   `nolvo install MEDIA --unattended --dir C:\Bench` into a fresh prefix
// It reports the wall time of each (best of the runs) and the ratio
// install / (extract + copy); the goal is at most 2. Every installed file is compared
// with the product once.
//
//   install_bench [--files N] [--mb M] [--runs R] [--keep]

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/temp_folder.h"
#include "tests/support/corpus.h"

#ifndef NOLVO_TOOL_PATH
#error "NOLVO_TOOL_PATH must name the built nolvo program"
#endif

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMB = 1000 * 1000;
constexpr std::size_t kFolders = 30;

struct Options {
  std::size_t files = 3000;
  std::size_t mb = 300;
  int runs = 3;
  bool keep = false;
};

using nolvo::bench::TempFolder;

// Runs `args` with its output into `log` and returns the wall time in seconds; throws when
// it does not exit 0.
double Timed(const std::vector<std::string>& args, const fs::path& log) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + args.front());
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error(args.front() + " " + args[1] + " failed; see " + log.string());
  return wall;
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The product and its install.cfg; returns the files' paths below `dir`.
std::vector<fs::path> BuildProduct(const fs::path& dir, const Options& o) {
  std::vector<fs::path> names;
  std::string cfg =
      "[Setup - Main]\r\nInstall Dir=Bench\r\nFolder=\r\nShow Re-Boot=0\r\n"
      "Header=Install Bench\r\n[Directories]\r\nDir0=<INSTALLDIR>~\r\n";
  for (std::size_t f = 1; f <= kFolders; ++f)
    cfg += "Dir" + std::to_string(f) + "=<SUB" + std::to_string(f) + ">~part" + std::to_string(f) +
           "\r\n";
  cfg += "[Files]\r\n";
  const std::size_t total = o.mb * kMB;
  for (std::size_t i = 0; i < o.files; ++i) {
    const std::size_t folder = 1 + i % kFolders;
    const bool binary = i % 4 == 3;
    const std::size_t size = total / o.files + (i == 0 ? total % o.files : 0);
    const fs::path name =
        fs::path("part" + std::to_string(folder)) /
        ((binary ? "table-" : "chapter-") + std::to_string(i) + (binary ? ".dat" : ".txt"));
    WriteFile(dir / name, binary ? nolvo::test::BinaryCorpus(size, 100 + i)
                                 : nolvo::test::TextCorpus(size, 100 + i));
    names.push_back(name);
    cfg += std::to_string(i) + "=" + name.filename().string() + "~<SUB" + std::to_string(folder) +
           ">\r\n";
  }
  std::ofstream(dir / "install.cfg", std::ios::binary) << cfg;
  return names;
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::size_t {
      if (i + 1 >= argc) throw std::runtime_error(a + " needs a value");
      return static_cast<std::size_t>(std::stoul(argv[++i]));
    };
    if (a == "--files")
      o.files = std::max<std::size_t>(1, next());
    else if (a == "--mb")
      o.mb = std::max<std::size_t>(1, next());
    else if (a == "--runs")
      o.runs = static_cast<int>(std::max<std::size_t>(1, next()));
    else if (a == "--keep")
      o.keep = true;
    else
      throw std::runtime_error("unknown argument " + a);
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Options o = Parse(argc, argv);
    TempFolder work("install_bench");
    if (o.keep) work.Keep();
    const fs::path product = work.Path() / "product", media = work.Path() / "media";
    std::fprintf(stderr, "install_bench: building %zu files, %zu MB\n", o.files, o.mb);
    const auto names = BuildProduct(product, o);
    std::fprintf(stderr, "install_bench: packing\n");
    Timed({NOLVO_TOOL_PATH, "pack", product.string(), "-o", media.string(), "-q"},
          work.Path() / "pack.log");

    double extract = 1e30, copy = 1e30, install = 1e30;
    for (int run = 0; run < o.runs; ++run) {
      const fs::path out = work.Path() / "extracted", copied = work.Path() / "copied",
                     prefix = work.Path() / "prefix";
      for (const auto& p : {out, copied, prefix}) fs::remove_all(p);
      ::sync();
      extract = std::min(
          extract, Timed({NOLVO_TOOL_PATH, "extract", media.string(), "-d", out.string(), "-q"},
                         work.Path() / "extract.log"));
      copy = std::min(
          copy, Timed({"cp", "-r", product.string(), copied.string()}, work.Path() / "cp.log"));
      install =
          std::min(install, Timed({NOLVO_TOOL_PATH, "install", media.string(), "--prefix",
                                   prefix.string(), "--unattended", "--dir", "C:\\Bench", "-q"},
                                  work.Path() / "install.log"));
      std::fprintf(stderr, "install_bench: run %d done\n", run + 1);
    }
    // Every file landed, byte for byte.
    const fs::path installed = work.Path() / "prefix" / "drive_c" / "Bench";
    for (const auto& n : names)
      if (ReadAll(product / n) != ReadAll(installed / n))
        throw std::runtime_error("installed " + n.string() + " differs from the product");

    std::printf("product: %zu files, %zu MB in %zu folders (best of %d runs)\n", o.files, o.mb,
                kFolders, o.runs);
    std::printf("  nolvo extract   %8.2f s\n", extract);
    std::printf("  cp -r           %8.2f s\n", copy);
    std::printf("  nolvo install   %8.2f s\n", install);
    std::printf("  install / (extract + cp -r) = %.2f (goal: at most 2)\n",
                install / (extract + copy));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "install_bench: %s\n", e.what());
    return 1;
  }
}
