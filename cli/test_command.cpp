// nolvo test PATH [--key N]: expands every entry of the media into nothing but its
// checksum and names each bad one.

#include <fmt/format.h>

#include "archive/container/compress_errors.h"
#include "archive/media/media_reader.h"
#include "archive/media/stored_copy_check.h"
#include "cli/archive_text.h"
#include "cli/command.h"
#include "cli/media_errors.h"

namespace nolvo::cli {

namespace {

struct TestOptions {
  std::string path;
  std::int32_t key = 0;
};

}  // namespace

CommandRegistration RegisterTest(CLI::App& app, const GlobalOptions& global) {
  auto options = std::make_shared<TestOptions>();
  CLI::App* sub = app.add_subcommand("test", "Check every entry of install media against its checksum");
  sub->add_option("PATH", options->path,
                  "A media folder (disk.001, ...), a first segment file, or one archive file")
      ->required();
  sub->add_option("--key", options->key, "The key of locked entries");
  sub->footer(std::string("Exits 1 when any entry is bad. Nothing is written.\n\n") +
              kExitCodeHelp);
  auto run = [options, &global]() -> int {
    return RunMediaCommand("test", [&]() -> int {
      const media::MediaLocation location = media::LocateMedia(options->path);
      media::PrivateWorkspace workspace;
      const platform::CodePage& cp = workspace.Machine().Codepage();
      MediaProgressBar bar(global.quiet, "Testing");
      std::size_t tested = 0, bad = 0;
      media::ForEachArchive(
          workspace, location, options->key,
          [&](const media::MediaArchive& a, container::TCompress& compress,
              const std::string& file) {
            container::TCompressedFileList entries;
            compress.ListArchiveEntries(file, entries);
            const auto badCopies =
                media::BadStoredCopies(compress.Machine(), file, entries, options->key);
            compress.OnShowProgress = [&](int& percent) {
              bar.Show(fmt::format("entry {}", tested + 1), percent);
            };
            compress.TestArchiveEntries(
                file, [&](const container::TListedEntry& entry, std::exception_ptr error) {
                  ++tested;
                  if (!error && badCopies.count(entry.Info.EntryPosition))
                    error = std::make_exception_ptr(container::EBadChecksum());
                  if (!error) return;
                  ++bad;
                  bar.Clear();
                  const std::string where =
                      a.Template.empty() ? "" : cp.ToUtf8(a.Template) + ": ";
                  fmt::print(stderr, "nolvo test: {}{}: {}\n", where, cp.ToUtf8(entry.Name),
                             ErrorText(error));
                });
          },
          bar.Callback());
      bar.Clear();
      if (!global.quiet)
        fmt::print("{} entr{} tested, {} bad\n", tested, tested == 1 ? "y" : "ies", bad);
      return bad == 0 ? kExitOk : kExitFailure;
    });
  };
  return {sub, run};
}

}  // namespace nolvo::cli
