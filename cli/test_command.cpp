// nolvo test PATH [--key N]: checks every file of the media against the media digest list,
// expands every entry into nothing but its checksum and its digest, and names each bad one.

#include <fmt/format.h>

#include "archive/media/medium_test.h"
#include "cli/command.h"
#include "cli/media_errors.h"

namespace nolvo::cli {

namespace {

struct TestOptions {
  std::string path;
  std::int32_t key = 0;
  std::int32_t threads = 1;
};

}  // namespace

CommandRegistration RegisterTest(CLI::App& app, const GlobalOptions& global) {
  auto options = std::make_shared<TestOptions>();
  CLI::App* sub =
      app.add_subcommand("test", "Check every entry of install media against its checksum");
  AddMediaPathOption(sub, options->path);
  sub->add_option("--key", options->key, "The key of locked entries");
  AddThreadsOption(sub, options->threads,
                   "Threads that expand and hash entries, at most 16; what is reported is the same "
                   "for any count");
  sub->footer(
      std::string("Every file the media digest list names is hashed, every entry is expanded\n"
                  "and checked against its checksum and the entry digest list; media without\n"
                  "digest lists get the checksums only (and a note). Exits 1 when anything is\n"
                  "bad (see the outcome table in the README). Nothing is written.\n\n") +
      kExitCodeHelp);
  auto run = [options, &global]() -> int {
    return RunMediaCommand("test", [&]() -> int {
      const media::MediaLocation location = media::LocateMedia(options->path);
      const platform::CodePage cp = platform::CodePage::FromEnvironment();
      MediaProgressBar bar(global.quiet, "Testing");
      media::TestEvents events;
      events.OnFinding = [&](const stage::MediaFinding& f) {
        bar.Clear();
        PrintFinding("test", f, cp, global.quiet);
      };
      events.OnEntry = [&](std::size_t tested, int percent) {
        bar.Show(fmt::format("entry {}", tested + 1), percent);
      };
      media::TestResult result;
      media::TestMedium(location, options->key, options->threads, events, result);
      bar.Clear();
      if (!global.quiet)
        fmt::print("{} entr{} tested, {} bad\n", result.Tested, result.Tested == 1 ? "y" : "ies",
                   result.Bad);
      return result.Report.Failed() ? kExitFailure : kExitOk;
    });
  };
  return {sub, run};
}

}  // namespace nolvo::cli
