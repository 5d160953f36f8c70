// nolvo: check, list, test, extract, pack, archive, install and uninstall setup media.

#include <fmt/format.h>

#include <cstdio>
#include <exception>

#include "cli/command.h"

int main(int argc, char** argv) {
  using namespace nolvo::cli;
  CLI::App app{"nolvo: the tool for setup media (builders, admins and scripts)", "nolvo"};
  app.footer(kExitCodeHelp);
  app.require_subcommand(1);
  app.fallthrough();  // -q also after the subcommand
  app.set_version_flag("--version", "nolvo 0.1.0");
  GlobalOptions global;
  app.add_flag("-q,--quiet", global.quiet, "Print nothing but errors")->configurable(false);

  std::vector<CommandRegistration> commands;
  for (CommandFactory factory : AllCommands()) commands.push_back(factory(app, global));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }
  try {
    for (auto& c : commands)
      if (c.sub->parsed()) return c.run();
  } catch (const std::exception& e) {
    fmt::print(stderr, "nolvo: {}\n", e.what());
    return kExitFailure;
  }
  return kExitUsage;
}
