// nolvo: check, list, test, extract, pack, archive, install and uninstall setup media.

#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "cli/tool_app.h"

namespace {

using namespace nolvo::cli;

// Output that never reached standard output (a full disk, a closed descriptor) is a
// failed command, whatever the command itself made of its work.
int FlushStandardOutput(int code) {
  const bool flushed = std::fflush(stdout) == 0;
  const int error = errno;
  if (flushed && !std::ferror(stdout)) return code;
  fmt::print(stderr, "nolvo: cannot write standard output: {}\n",
             std::strerror(flushed ? EIO : error));
  return code == kExitOk ? kExitFailure : code;
}

int Run(int argc, char** argv) {
  ToolApp tool;
  CLI::App& app = tool.App();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }
  try {
    return tool.RunChosen();
  } catch (const std::exception& e) {
    fmt::print(stderr, "nolvo: {}\n", e.what());
    return kExitFailure;
  }
}

}  // namespace

int main(int argc, char** argv) { return FlushStandardOutput(Run(argc, argv)); }
