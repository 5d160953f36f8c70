#pragma once
// How the `nolvo` tool's subcommands plug into the one CLI11 application, and the exit
// codes every command shares.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nolvo::cli {

// The exit-code table of every command.
enum ExitCode : int {
  kExitOk = 0,         // done
  kExitFailure = 1,    // a data, install or system error (damaged media, a failed step, a refusal)
  kExitUsage = 2,      // bad arguments, a missing file named on the command line
  kExitCancelled = 3,  // cancelled or declined by the user
};

inline constexpr const char* kExitCodeHelp =
    "Exit codes:\n"
    "  0  done\n"
    "  1  a data, install or system error (damaged media, a failed step, a refusal)\n"
    "  2  a usage error (bad arguments, a missing file named on the command line)\n"
    "  3  cancelled or declined by the user\n";

// Options shared by every command.
struct GlobalOptions {
  bool quiet = false;
};

// A command adds its subcommand to `app` and sets `run` to the action that runs when the
// subcommand was chosen; the action returns the exit code.
using CommandRunner = std::function<int()>;
struct CommandRegistration {
  CLI::App* sub = nullptr;
  CommandRunner run;
};
using CommandFactory = CommandRegistration (*)(CLI::App& app, const GlobalOptions& global);

// Every command's factory, in the order `--help` lists them.
const std::vector<CommandFactory>& AllCommands();

// The number of cores (at least 1): the default of every --threads option.
std::int32_t DefaultThreads();

// Adds `--threads N` (a positive number, default DefaultThreads()) to `sub`; `what` says
// what the threads do.
CLI::Option* AddThreadsOption(CLI::App* sub, std::int32_t& threads, const std::string& what);
// The required PATH of the commands that read install media.
CLI::Option* AddMediaPathOption(CLI::App* sub, std::string& path);

}  // namespace nolvo::cli
