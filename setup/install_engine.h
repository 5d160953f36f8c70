#pragma once
// InstallEngine: the installation proper, run by the wizard's Install button once the
// setup archive is expanded into TempDir. It binds the directory tokens of [Directories]
// and makes the directories, copies the setup's own files and the product files (asking
// before overwriting where the configuration says so), makes program folders and
// shortcuts, writes the product's INI lines, records everything in uninstall.cfg,
// registers the uninstaller with Windows when one was installed, launches the product
// when asked and closes the wizard.
//
// Failed product copies and failed shortcuts do not stop the run; the result names each
// of them. A failure to copy install.exe / install.cfg, to write uninstall.cfg or the
// INI file, or to write the registry entry stops the run at once with its message; the
// wizard then stays open on its progress page. A configuration without an <INSTALLDIR>
// binding is refused before anything is written. Targets outside the prefix's own drives
// and outside an installation directory the user chose are refused (see WriteGuard).
//
// With `dryRun` nothing on the machine changes and no question is asked: the result's
// actions are the plan.

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/setup_settings.h"
#include "app/startup_state.h"
#include "platform/dialogs.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "setup/directory_tokens.h"
#include "setup/engine_actions.h"
#include "setup/shortcuts.h"
#include "setup/uninstall_record.h"
#include "setup/wizard.h"
#include "setup/write_guard.h"

namespace nolvo::setup {

inline constexpr const char* kUninstallKeyBase = "Software\\Microsoft\\Windows\\currentversion\\uninstall\\";
inline constexpr const char* kUninstallerName = "uninstaller.exe";

struct EngineOptions {
  // Allow targets on host drives (such as Z:) that the configuration names.
  bool allowHostPaths = false;
  // The wizard's destination was chosen by the user (a --dir option, Browse): writing
  // inside it is allowed wherever it lies.
  bool installDirChosen = false;
  // Plan only: change nothing, ask nothing.
  bool dryRun = false;
  // Receives every action as it happens (the action log).
  std::function<void(const EngineAction&)> onAction;
};

// The parts of the setup the engine works with; all must outlive the engine.
struct EngineContext {
  platform::Machine& machine;
  app::SetupSettings& settings;  // LaunchProgram is rewritten into a full path
  const app::StartupState& state;
  std::string title;             // the product title (the main screen's header)
  TNolvo& wizard;                // destination, choices, check lists, progress page
  platform::Dialogs& dialogs;
  platform::MessagePump& pump;
  TShortcuts& shortcuts;
  platform::Registry& registry;  // the machine's registry store
};

enum class EngineEnd {
  eeCompleted,  // ran to its end (see the failure lists for what did not work)
  eeFailed,     // stopped by a failure; `error` holds its message
  eeRefused,    // refused before anything was written; `error` says why
};

struct FailedCopy {
  std::string source;
  std::string destination;
  std::string message;
};

struct FailedShortcutEntry {
  std::string link;     // the link file, or the program-group entry when nothing was tried
  std::string message;
};

struct EngineResult {
  EngineEnd end = EngineEnd::eeCompleted;
  std::string error;
  std::string installDirectory;
  std::vector<FailedCopy> failedCopies;
  std::vector<FailedShortcutEntry> failedShortcuts;
  std::vector<std::string> refused;  // targets refused, one line each
  bool launched = false;             // a launch was requested (or planned)
  std::vector<EngineAction> actions; // every action, in order: the plan or the log

  // Completed with nothing failed and nothing refused.
  bool FullSuccess() const {
    return end == EngineEnd::eeCompleted && failedCopies.empty() && failedShortcuts.empty() &&
           refused.empty();
  }
  // One line per failure, refusal or the stopping error, for the end-of-run report.
  std::vector<std::string> Problems() const;
};

class InstallEngine {
 public:
  InstallEngine(EngineContext context, EngineOptions options);
  // Runs the installation once. Closes the wizard when it ran to its end.
  EngineResult Run();

  // The status texts of the progress page.
  static constexpr const char* kStatusPreparing = "Preparing Directory Structure";
  static constexpr const char* kStatusReady = "Ready to Install";
  static constexpr const char* kStatusIcons = "Creating Icons and Folders";
  static constexpr const char* kStatusIni = "Creating INI Config File";
  static constexpr const char* kStatusRegistry = "Adding Items to Registry";

 private:
  struct Target {
    std::string token;  // upper case
    std::string directory;
  };

  void Prepare();
  bool FindInstallDirectory();
  void BindDirectories();
  void MakeDirectory(const std::string& directory);
  void CopySetupFiles();
  void CopyProductFiles();
  void CopyOne(const std::vector<std::string>& list, std::size_t index, const std::string& file,
               const std::string& rest, const std::string& directory);
  void ReleaseTempCopy(const std::vector<std::string>& list, std::size_t index,
                       const std::string& file);
  void MakeShortcuts();
  void MakeShortcut(const std::string& entry, const std::string& directory);
  void WriteIniFile();
  void WriteRegistry();
  void Launch();

  void Status(const std::string& text);
  void Advance();
  void Log(EngineAction action) { log_.Add(std::move(action)); }
  // Runs one step of `action`: on success marks it done (the caller logs it); on an
  // `Error` logs it as failed with the message and passes the error on.
  template <class Error, class Step>
  void Perform(EngineAction& action, Step&& step) {
    try {
      step();
    } catch (const Error& e) {
      action.outcome = ActionOutcome::aoFailed;
      action.detail = e.what();
      Log(std::move(action));
      throw;
    }
    action.outcome = ActionOutcome::aoDone;
  }
  bool Refuse(const std::string& path, const std::string& what);
  bool WouldExist(const std::string& path) const;

  EngineContext c_;
  EngineOptions options_;
  ActionLog log_;
  WriteGuard guard_;
  EngineResult result_;
  TokenContext tokens_;
  std::vector<Target> targets_;
  std::unique_ptr<UninstallRecord> record_;
  std::set<std::string> planned_;  // upper-case files a dry run would create
};

}  // namespace nolvo::setup
