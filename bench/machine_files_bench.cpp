// Cost of the modelled machine's path work: resolving paths case-insensitively and
// creating many files flat in one folder, as extraction into the temporary folder does;
// and loading an install.cfg that lists many files (each one's overwrite key is looked
// up by name, so the look-up must not scan the file).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "app/settings_loader.h"
#include "platform/file_ops.h"
#include "platform/machine.h"

namespace {

namespace fs = std::filesystem;
using nolvo::platform::CodePage;
using nolvo::platform::Machine;

struct Scratch {
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "nolvo-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root = pattern;
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  fs::path root;
};

void BM_ResolveExisting(benchmark::State& state) {
  Scratch s;
  Machine m(s.root / "p", CodePage());
  fs::create_directories(s.root / "p/drive_c/Program Files/Tool/Data");
  const std::string path = state.range(0) ? "C:\\PROGRAM FILES\\tool\\DATA\\x.bin"
                                          : "C:\\Program Files\\Tool\\Data\\x.bin";
  for (auto _ : state) benchmark::DoNotOptimize(m.Resolve(path));
}
BENCHMARK(BM_ResolveExisting)->Arg(0)->Arg(1)->ArgName("other_case");

// Creates `range(0)` new files in one folder; each new name is looked up first.
void BM_CreateManyFlat(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    Scratch s;
    Machine m(s.root / "p", CodePage());
    fs::create_directories(s.root / "p/drive_c/WINDOWS/Temp/q");
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
      nolvo::platform::WinError error;
      auto f = nolvo::platform::CreateFileAlways(
          m, "C:\\WINDOWS\\Temp\\q\\FILE" + std::to_string(i) + ".DAT", error);
      benchmark::DoNotOptimize(f);
    }
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_CreateManyFlat)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(4000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

void BM_LoadManyFiles(benchmark::State& state) {
  const auto files = static_cast<std::size_t>(state.range(0));
  std::string cfg =
      "[Setup - Main]\r\nInstall Dir=App\r\n[Directories]\r\nd=<INSTALLDIR>~\r\n[Files]\r\n";
  for (std::size_t i = 0; i < files; ++i)
    cfg += "f" + std::to_string(i) + "=file" + std::to_string(i) + ".dat~<INSTALLDIR>\r\n";
  cfg += "[Files - OverWrite]\r\nFile #5=1\r\n";
  for (auto _ : state) {
    const nolvo::platform::ProfileReader reader(nolvo::platform::ProfileText::Parse(cfg));
    benchmark::DoNotOptimize(nolvo::app::LoadSettings(reader).Settings.FileList.size());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files));
}
BENCHMARK(BM_LoadManyFiles)->Arg(1000)->Arg(30000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
