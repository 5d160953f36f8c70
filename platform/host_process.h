#pragma once
// Starting host programs: detached (the caller never waits for them and leaves no zombie)
// or waited for. Also the lookup of a program on PATH and the splitting of a Windows
// command-line text into arguments.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace nolvo::platform {

// Runs `argv` (argv[0] is the program's host path) in a new session, in `working_dir`
// (empty: the current directory), with the current environment plus `extra_env`
// ("NAME=value" entries that replace variables of the same name) and standard input from
// /dev/null. Returns once the program has been executed (or failed to be): an empty
// error_code when it started, else the host error of the exec or chdir. The program runs
// on as a grandchild that the caller never has to reap.
std::error_code SpawnDetached(const std::vector<std::string>& argv,
                              const std::filesystem::path& working_dir,
                              const std::vector<std::string>& extra_env);

// Runs `argv` like SpawnDetached but waits for it; returns its exit status (0..255), or
// nullopt when it could not be started or died from a signal.
std::optional<int> RunAndWait(const std::vector<std::string>& argv,
                              const std::vector<std::string>& extra_env);

// The first executable regular file named `name` in the folders of the PATH variable, or
// nullopt. An empty PATH entry means the current directory.
std::optional<std::filesystem::path> FindOnPath(std::string_view name);

// Splits a Windows command-line text into arguments the way the C runtime does: blanks
// and tabs separate, double quotes group (and are removed), 2n backslashes before a quote
// give n backslashes, 2n+1 give n and a literal quote, "" inside a quoted part gives a
// quote; other backslashes stay as they are.
std::vector<std::string> SplitCommandLine(std::string_view text);

}  // namespace nolvo::platform
