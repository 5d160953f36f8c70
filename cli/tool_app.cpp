#include "cli/tool_app.h"

#include "cli/version.h"

namespace nolvo::cli {

std::string VersionText() { return std::string("nolvo ") + kVersion; }

ToolApp::ToolApp()
    : app_("nolvo: the tool for setup media (builders, admins and scripts)", "nolvo") {
  app_.footer(kExitCodeHelp);
  app_.require_subcommand(1);
  app_.fallthrough();  // -q also after the subcommand
  app_.set_version_flag("--version", VersionText());
  app_.add_flag("-q,--quiet", global_.quiet, "Print nothing but errors")->configurable(false);
  for (CommandFactory factory : AllCommands()) commands_.push_back(factory(app_, global_));
}

int ToolApp::RunChosen() {
  for (auto& c : commands_)
    if (c.sub->parsed()) return c.run();
  return kExitUsage;
}

}  // namespace nolvo::cli
