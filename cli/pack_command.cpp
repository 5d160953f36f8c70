// nolvo pack SOURCE_DIR -o MEDIA_DIR: builds setup media from a product folder.

#include <fmt/format.h>

#include <algorithm>

#include "archive/media/pack_media.h"
#include "cli/command.h"
#include "cli/media_errors.h"

namespace nolvo::cli {

namespace {

struct PackOptions {
  std::string source, output, config, method = "lh5", setupProgram;
  std::int32_t segmentSize = 1440000;
  std::int32_t key = 0;
  std::int32_t threads = 1;
};

container::TCompressionMethod MethodOf(const std::string& name) {
  if (name == "lzh") return container::TCompressionMethod::coLZH;
  if (name == "rle") return container::TCompressionMethod::coRLE;
  if (name == "none") return container::TCompressionMethod::coNone;
  return container::TCompressionMethod::coLZH5;
}

void PrintWarning(const media::PackWarning& w) {
  if (w.What == media::PackWarning::Kind::SameName)
    fmt::print(stderr,
               "nolvo pack: warning: {} and {} have the same name; the setup puts every file "
               "into one folder, so one of them would be lost\n",
               w.First, w.Second);
  else
    fmt::print(stderr, "nolvo pack: warning: [{}] names {}, which the media do not hold\n", w.First,
               w.Second);
}

int RunPack(const PackOptions& o, const GlobalOptions& global) {
  media::PackSettings settings;
  settings.Source = o.source;
  settings.Media = o.output;
  settings.Config = o.config;
  settings.SetupProgram = o.setupProgram;
  settings.Method = MethodOf(o.method);
  settings.SegmentSize = o.segmentSize;
  settings.Key = o.key;
  settings.Threads = o.threads;
  const platform::CodePage cp = platform::CodePage::FromEnvironment();
  try {
    const media::PackProduct product = media::CollectProduct(settings, cp);
    const auto warnings = media::CheckNames(product, cp);
    for (const auto& w : warnings) PrintWarning(w);

    MediaProgressBar bar(global.quiet, "Packing");
    const auto written = media::WriteMedia(
        settings, product, [&](const std::string& name, std::int64_t done, std::int64_t total) {
          bar.Show(cp.ToUtf8(name), total > 0 ? static_cast<int>(done * 100 / total) : 0);
        });
    bar.Clear();
    media::PlaceSetupProgram(settings, product, written);

    if (!global.quiet) {
      std::int64_t original = 0, stored = 0;
      for (const auto& e : written.Archives.at(0)) {
        original += e.Info.OriginalSize;
        stored += e.Info.CompressedSize;
      }
      fmt::print("Packed {} file(s), {} bytes ({} stored) into {} segment(s) in {}{}\n",
                 product.Archive.Files.size(), original, stored, written.Segments.size(),
                 settings.Media.string(),
                 warnings.empty() ? "" : fmt::format(" with {} warning(s)", warnings.size()));
    }
  } catch (const media::EPackError& e) {
    fmt::print(stderr, "nolvo pack: {}\n", e.what());
    return e.Usage ? kExitUsage : kExitFailure;
  }
  return kExitOk;
}

}  // namespace

CommandRegistration RegisterPack(CLI::App& app, const GlobalOptions& global) {
  auto o = std::make_shared<PackOptions>();
  CLI::App* sub = app.add_subcommand("pack", "Build setup media from a product folder");
  sub->add_option("SOURCE_DIR", o->source, "The product's files, with its install.cfg")
      ->type_name("DIR")
      ->required();
  sub->add_option("-o,--output", o->output, "The media folder to write")
      ->type_name("DIR")
      ->required();
  sub->add_option("--config", o->config, "The install.cfg to use (else SOURCE_DIR/install.cfg)");
  sub->add_option("--method", o->method, "lh5 (default), lzh, rle or none")
      ->check(CLI::IsMember({"lh5", "lzh", "rle", "none"}));
  sub->add_option("--segment-size", o->segmentSize, "Bytes per segment (default 1440000)")
      ->check(CLI::Range(1, 2147483647));
  sub->add_option("--key", o->key, "Lock every entry with this key");
  sub->add_option("--setup-program", o->setupProgram, "The file to put beside as install.exe")
      ->check(CLI::ExistingFile);
  AddThreadsOption(
      sub, o->threads,
      "Threads that encode and hash, at most 16; the media are the same for any count");
  sub->footer(
      std::string("Beside the segments go install.cfg, install.exe and two digest lists:\n"
                  "nolvo-entries.digests (the SHA-256 of every entry's bytes) and\n"
                  "nolvo-media.sha256 (every file of the medium; sha256sum -c reads it).\n\n") +
      kExitCodeHelp);
  // An interrupt stops the pack at the next file; the segments written so far are removed.
  auto run = [o, &global]() -> int {
    return RunMediaCommand("pack", [&]() { return RunPack(*o, global); });
  };
  return {sub, run};
}

}  // namespace nolvo::cli
