#pragma once
// One installation as both front ends run it: the prefix's registry, the setup run
// (start-up, extraction, wizard, close) and, behind the wizard's Install button, the
// installation engine with its shortcuts component in the prefix's shell folders. The
// engine's problems join the end-of-run report, and an installation that did not finish
// ends the wizard as a cancelled one (no restart). In a Wine prefix a completed
// installation also gets the host's menu entries for its shortcuts, when asked.
//
// The front ends bring their views (RunFrontEnd), dialogs and pump, the engine's options
// and what they do as Install is pressed; they keep the printing and the exit status.

#include <functional>
#include <optional>
#include <string>

#include "platform/dialogs.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "setup/host_menu.h"
#include "setup/install_engine.h"
#include "setup/setup_run.h"

namespace nolvo::setup {

// In a Wine prefix: waits a few seconds for a Wine server that is about to end; while Wine
// still runs there, `retry` receives the reason and answers whether to wait again. False
// when it gave up: the prefix's registry files must then not be written. True at once for
// a plain prefix.
bool WineLeavesRegistry(const platform::Machine& machine,
                        const std::function<bool(const std::string& reason)>& retry);

// The host's menu entries of an installation's shortcuts.
struct HostMenuOutcome {
  HostMenuResult menu;
  std::string recordError;  // why they are not in the uninstall record (empty: they are)
};

// After a completed installation into a Wine prefix: makes the host's menu entries of the
// links `result` saved in `shell`'s folders and records them in its uninstall.cfg. A
// failure here ends nothing: the outcome names it.
HostMenuOutcome MakeHostMenuEntries(const platform::Machine& machine,
                                    const platform::ShellFolders& shell,
                                    const EngineResult& result);

struct InstallSessionOptions {
  EngineOptions engine;
  // In a Wine prefix, the host's menu entries after a completed installation.
  bool hostMenu = true;
  // Runs as Install is pressed, before the engine is made. False cancels the wizard:
  // nothing is installed.
  std::function<bool(TNolvo& wizard)> beforeEngine;
};

class InstallSession {
 public:
  // Opens the prefix's registry store. `commandLineDir` as for SetupRun. All references
  // must outlive the session.
  InstallSession(platform::Machine& machine, platform::Dialogs& dialogs,
                 platform::MessagePump& pump, RunFrontEnd& frontEnd,
                 std::optional<std::string> commandLineDir, InstallSessionOptions options);
  InstallSession(const InstallSession&) = delete;
  InstallSession& operator=(const InstallSession&) = delete;

  platform::Registry& Registry() { return registry_; }
  // The prefix's shell folders, read from the registry on the first call (the engine's
  // makes it, unless the front end asked before) and kept.
  const platform::ShellFolders& ShellFolders();
  SetupRun& Run() { return run_; }
  // The engine's result, once it ran.
  const std::optional<EngineResult>& Engine() const { return engine_; }
  // The host's menu entries, once they were made.
  const std::optional<HostMenuOutcome>& HostMenu() const { return hostMenu_; }

 private:
  void Install(TNolvo& wizard, SetupRun& run);

  platform::Machine& machine_;
  platform::Dialogs& dialogs_;
  platform::MessagePump& pump_;
  InstallSessionOptions options_;
  platform::Registry registry_;
  std::optional<platform::ShellFolders> shellFolders_;
  std::optional<EngineResult> engine_;
  std::optional<HostMenuOutcome> hostMenu_;
  SetupRun run_;
};

}  // namespace nolvo::setup
