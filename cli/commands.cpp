#include <algorithm>
#include <thread>

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
      &RegisterCheck, &RegisterPack, &RegisterInstall, &RegisterUninstall,
      &RegisterList,  &RegisterTest, &RegisterExtract, &RegisterArchive,
  };
  return commands;
}

std::int32_t DefaultThreads() {
  return static_cast<std::int32_t>(std::max(1u, std::thread::hardware_concurrency()));
}

CLI::Option* AddThreadsOption(CLI::App* sub, std::int32_t& threads, const std::string& what) {
  threads = DefaultThreads();
  return sub->add_option("--threads", threads, what + " (default: the number of cores)")
      ->type_name("N")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
}

CLI::Option* AddMediaPathOption(CLI::App* sub, std::string& path) {
  return sub
      ->add_option("PATH", path,
                   "A media folder (disk.001, ...), a first segment file, or one archive file")
      ->required();
}

}  // namespace nolvo::cli
