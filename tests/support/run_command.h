#pragma once
// Runs a program of the build (or any command) and captures what it printed.

#include <map>
#include <string>
#include <vector>

namespace nolvo::test {

struct CommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs `argv` (argv[0] a path) with the extra environment `env`, standard input from
// /dev/null, and waits for it. A non-empty `stdoutFile` (such as /dev/full) takes the
// standard output in place of `out`.
CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env = {},
                         const std::string& stdoutFile = {});

// Runs `argv` on a new pseudo-terminal (its standard input, output and error), as a user at
// a terminal would: each time its output ends in a prompt ("> "), the next of `answers` is
// typed with a newline. `out` is everything it printed; a run that needs more answers
// than given, or any that takes over `seconds`, is killed (exit code 128 + SIGKILL).
CommandResult RunOnTerminal(const std::vector<std::string>& argv,
                            const std::vector<std::string>& answers, int seconds = 60);

// The path of the built `nolvo` tool.
std::string NolvoTool();

}  // namespace nolvo::test
