// nolvo archive create OUT FILE... [--method lh5|lzh|rle|none] [--key N] [--threads N]: one
// container archive file built from host files and folders.

#include <fmt/format.h>

#include "archive/media/archive_create.h"
#include "cli/archive_text.h"
#include "cli/command.h"
#include "cli/media_errors.h"
#include "util/shown_text.h"

namespace nolvo::cli {

namespace {

struct CreateOptions {
  std::string out;
  std::vector<std::string> files;
  std::string method = "lh5";
  std::int32_t key = 0;
  std::int32_t threads = 1;
};

container::TCompressionMethod MethodOf(const std::string& name) {
  using container::TCompressionMethod;
  if (name == "lzh") return TCompressionMethod::coLZH;
  if (name == "rle") return TCompressionMethod::coRLE;
  if (name == "none") return TCompressionMethod::coNone;
  return TCompressionMethod::coLZH5;
}

int Create(const CreateOptions& options, bool quiet) {
  MediaProgressBar bar(quiet, "Packing");
  const media::CreatedArchive created = media::CreateArchive(
      {options.out, options.files, MethodOf(options.method), options.key, options.threads},
      [&](std::size_t files, std::int32_t percent) {
        bar.Show(fmt::format("{} file{}", files, files == 1 ? "" : "s"), percent);
      });
  bar.Clear();
  if (!quiet) {
    for (std::size_t i = 0; i < created.Entries.size(); ++i) {
      const auto& info = created.Entries[i].Info;
      fmt::print("  {:>10} -> {:>10} {:<8} {}\n", info.OriginalSize, info.CompressedSize,
                 MethodName(info.Method), util::EscapeControls(created.Names[i]));
    }
    fmt::print("{}: {} entr{}\n", options.out, created.Entries.size(),
               created.Entries.size() == 1 ? "y" : "ies");
  }
  return kExitOk;
}

}  // namespace

CommandRegistration RegisterArchive(CLI::App& app, const GlobalOptions& global) {
  auto options = std::make_shared<CreateOptions>();
  CLI::App* sub = app.add_subcommand("archive", "Work with single archive files");
  sub->require_subcommand(1);
  CLI::App* create = sub->add_subcommand("create", "Build one archive file from files and folders");
  create->add_option("OUT", options->out, "The archive file to create (replaced if it exists)")
      ->required();
  create
      ->add_option("FILE", options->files,
                   "Files (stored by name) and folders (stored by folder name and path below it)")
      ->required();
  create->add_option("--method", options->method, "Compression method of every entry")
      ->check(CLI::IsMember({"lh5", "lzh", "rle", "none"}))
      ->capture_default_str();
  create->add_option("--key", options->key, "Lock every entry with this key (0: none)");
  AddThreadsOption(create, options->threads,
                   "Threads that encode, at most 16; the archive is the same for any count");
  create->footer(
      std::string("An entry the method cannot make smaller is stored uncompressed.\n"
                  "OUT.digests beside it receives the SHA-256 of every entry's bytes.\n\n") +
      kExitCodeHelp);
  sub->footer(kExitCodeHelp);
  auto run = [options, &global]() -> int {
    return RunMediaCommand("archive create", [&]() { return Create(*options, global.quiet); });
  };
  return {sub, run};
}

}  // namespace nolvo::cli
