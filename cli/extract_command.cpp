// nolvo extract PATH [-d DIR] [--flat] [--key N]: writes the files of install media under
// DIR, never outside it. Each file is written under a temporary name and takes its own
// name only once its checksum and, with an entry digest list, its digest held.

#include <fmt/format.h>

#include "archive/media/medium_extract.h"
#include "cli/command.h"
#include "cli/interrupt.h"
#include "cli/media_errors.h"

namespace nolvo::cli {

namespace {

struct ExtractOptions {
  std::string path;
  std::string dir = ".";
  bool flat = false;
  std::int32_t key = 0;
  std::int32_t threads = 1;
};

}  // namespace

CommandRegistration RegisterExtract(CLI::App& app, const GlobalOptions& global) {
  auto options = std::make_shared<ExtractOptions>();
  CLI::App* sub = app.add_subcommand("extract", "Write the files of install media into a folder");
  AddMediaPathOption(sub, options->path);
  sub->add_option("-d,--dir", options->dir, "The output folder (made when missing)")
      ->type_name("DIR")
      ->capture_default_str();
  sub->add_flag("--flat", options->flat, "Put every file directly in the output folder");
  sub->add_option("--key", options->key, "The key of locked entries");
  AddThreadsOption(
      sub, options->threads,
      "Threads that expand and hash entries, at most 16; the files written are the same for "
      "any count");
  sub->footer(
      std::string("Each archive's files go below its template's folder, made relative (the\n"
                  "drive and leading backslashes dropped). Names with \"..\", device names or\n"
                  "characters a file name cannot hold are kept inside the folder and reported.\n"
                  "A file whose checksum fails, or whose bytes differ from the entry digest\n"
                  "list, is not left behind. See the outcome table in the README.\n\n") +
      kExitCodeHelp);
  auto run = [options, &global]() -> int {
    return RunMediaCommand("extract", [&]() -> int {
      const media::MediaLocation location = media::LocateMedia(options->path);
      const platform::CodePage cp = platform::CodePage::FromEnvironment();
      MediaProgressBar bar(global.quiet, "Extracting");
      media::ExtractOptions extract;
      extract.Dir = options->dir;
      extract.Flat = options->flat;
      extract.Key = options->key;
      extract.Threads = options->threads;
      media::ExtractEvents events;
      events.OnFinding = [&](const stage::MediaFinding& f) {
        bar.Clear();
        PrintFinding("extract", f, cp, global.quiet);
      };
      events.OnEntry = [&](const std::string& file, int percent) { bar.Show(file, percent); };
      events.OnWritten = [&](const std::string& file) {
        if (global.quiet) return;
        bar.Clear();
        fmt::print("  {}\n", file);
      };
      events.Poll = [] { ThrowIfInterrupted(); };
      media::ExtractResult result;
      media::ExtractMedium(location, extract, events, result);
      bar.Clear();
      if (!global.quiet)
        fmt::print("{} file{} extracted to {}\n", result.Written, result.Written == 1 ? "" : "s",
                   result.Root.string());
      return result.Report.Failed() ? kExitFailure : kExitOk;
    });
  };
  return {sub, run};
}

}  // namespace nolvo::cli
