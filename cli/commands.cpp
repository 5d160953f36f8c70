#include "cli/command.h"

namespace nolvo::cli {

const std::vector<CommandFactory>& AllCommands() {
  static const std::vector<CommandFactory> commands = {};
  return commands;
}

}  // namespace nolvo::cli
