// nolvo: check, list, test, extract, pack, archive, install and uninstall setup media.

#include <fmt/format.h>

#include <cstdio>
#include <exception>

#include "cli/tool_app.h"

int main(int argc, char** argv) {
  using namespace nolvo::cli;
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
