#pragma once
// The `nolvo` command line: one CLI11 application with every command registered. The
// program parses with it; the manual page and the shell completion are generated from it,
// so that they list what `--help` lists.

#include <string>
#include <vector>

#include "cli/command.h"

namespace nolvo::cli {

class ToolApp {
 public:
  ToolApp();
  ToolApp(const ToolApp&) = delete;
  ToolApp& operator=(const ToolApp&) = delete;

  CLI::App& App() { return app_; }

  // After a parse: runs the chosen command and returns its exit code (kExitUsage when
  // none was chosen).
  int RunChosen();

 private:
  GlobalOptions global_;  // before app_: the commands' actions hold on to it
  CLI::App app_;
  std::vector<CommandRegistration> commands_;
};

// "nolvo " and the project version: what `nolvo --version` prints.
std::string VersionText();

}  // namespace nolvo::cli
