#include "setup/install_session.h"

#include "platform/machine_registry.h"
#include "platform/registry_file.h"
#include "platform/wine_server.h"
#include "setup/shortcuts.h"
#include "setup/uninstall_record.h"

namespace nolvo::setup {

bool WineLeavesRegistry(const platform::Machine& machine,
                        const std::function<bool(const std::string& reason)>& retry) {
  if (!machine.IsWinePrefix()) return true;
  while (!platform::WaitForWineServerExit(machine.Prefix(), platform::kWineServerGrace))
    if (!retry(platform::EWineRunning(machine.Prefix()).what())) return false;
  return true;
}

HostMenuOutcome MakeHostMenuEntries(const platform::Machine& machine,
                                    const platform::ShellFolders& shell,
                                    const EngineResult& result) {
  HostMenuOutcome out;
  out.menu = MakeHostMenu(machine, shell, SavedLinks(result), HostMenuFolders::FromEnvironment());
  try {
    RecordHostMenu(machine, result.installDirectory + "\\" + kUninstallFileName, out.menu.made);
  } catch (const std::exception& e) {
    out.recordError = e.what();
  }
  return out;
}

InstallSession::InstallSession(platform::Machine& machine, platform::Dialogs& dialogs,
                               platform::MessagePump& pump, RunFrontEnd& frontEnd,
                               std::optional<std::string> commandLineDir,
                               InstallSessionOptions options)
    : machine_(machine),
      dialogs_(dialogs),
      pump_(pump),
      options_(std::move(options)),
      registry_(platform::MachineRegistryStore(machine)),
      run_(machine, dialogs, pump, frontEnd, std::move(commandLineDir),
           [this](TNolvo& wizard, SetupRun& run) { Install(wizard, run); }) {}

const platform::ShellFolders& InstallSession::ShellFolders() {
  if (!shellFolders_) shellFolders_ = platform::ReadShellFolders(machine_, registry_);
  return *shellFolders_;
}

void InstallSession::Install(TNolvo& wizard, SetupRun& run) {
  if (options_.beforeEngine && !options_.beforeEngine(wizard)) {
    wizard.cancelClick();
    return;
  }
  // Wine's server may have written its registry back while the wizard waited; changes
  // made on the copy read before would be refused. A file that no longer loads is left
  // for the engine's first write to report.
  try {
    registry_.Refresh();
  } catch (const platform::ERegistryFileError&) {
  }
  app::SetupSettings settings = run.Loaded().Settings;
  TShortcuts shortcuts(machine_, ShellFolders());
  EngineContext context{machine_,    settings,
                        run.State(), run.Loaded().Screen.Header.Text,
                        wizard,      dialogs_,
                        pump_,       shortcuts,
                        registry_,   &run.ExpandedFiles()};
  engine_ = InstallEngine(context, options_.engine).Run();
  const bool completed = engine_->end == EngineEnd::eeCompleted;
  if (completed && options_.hostMenu && machine_.IsWinePrefix())
    hostMenu_ = MakeHostMenuEntries(machine_, shortcuts.Locations, *engine_);
  // Every problem, the stopping failure included, goes into the end-of-run report.
  run.Report().Append(engine_->ProblemList().Items());
  // A setup that did not finish ends as a cancelled one (no restart).
  if (!completed) wizard.cancelClick();
}

}  // namespace nolvo::setup
