#include "cli/command.h"

namespace nolvo::cli {

CommandRegistration RegisterCheck(CLI::App& app, const GlobalOptions& global);
CommandRegistration RegisterInstall(CLI::App& app, const GlobalOptions& global);
CommandRegistration RegisterPack(CLI::App& app, const GlobalOptions& global);
CommandRegistration RegisterUninstall(CLI::App& app, const GlobalOptions& global);
CommandRegistration RegisterList(CLI::App& app, const GlobalOptions& global);
CommandRegistration RegisterTest(CLI::App& app, const GlobalOptions& global);
CommandRegistration RegisterExtract(CLI::App& app, const GlobalOptions& global);
CommandRegistration RegisterArchive(CLI::App& app, const GlobalOptions& global);

const std::vector<CommandFactory>& AllCommands() {
  static const std::vector<CommandFactory> commands = {
      &RegisterCheck,   &RegisterPack, &RegisterInstall, &RegisterUninstall, &RegisterList,
      &RegisterTest,    &RegisterExtract, &RegisterArchive,
  };
  return commands;
}

}  // namespace nolvo::cli
