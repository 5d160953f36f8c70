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
// /dev/null, and waits for it.
CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env = {});

// The path of the built `nolvo` tool.
std::string NolvoTool();

}  // namespace nolvo::test
