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
// of them, and every configuration line it could not use (no "~", a token nothing binds,
// a file the media did not hold). A failure to copy install.exe / install.cfg, to write
// uninstall.cfg or the INI file, or to write the registry entry stops the run at once
// with its message; the wizard then stays open on its progress page. A configuration
// without an <INSTALLDIR> binding is refused before anything is written. Targets outside
// the prefix's own drives and outside an installation directory the user chose are
// refused (see WriteGuard).
//
// Every file and folder the run creates is appended to uninstall.cfg as soon as it is
// complete (uninstall_record.h), and files are written under a temporary name first
// (file_install.h), so an interrupted or killed run leaves a record of exactly what it
// wrote. A file that existed before is replaced only as the configuration's overwrite
// marks and the answers allow (never with `keepExisting`), and is not recorded as
// created unless an earlier installation recorded in the same place had created it.
//
// With `dryRun` nothing on the machine changes and no question is asked: the result's
// actions are the plan.

#include <exception>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/setup_settings.h"
#include "app/startup_state.h"
#include "platform/atomic_file.h"
#include "platform/dialogs.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "setup/directory_tokens.h"
#include "setup/engine_actions.h"
#include "setup/entry_text_index.h"
#include "setup/file_install.h"
#include "setup/run_report.h"
#include "setup/shortcuts.h"
#include "setup/uninstall_record.h"
#include "setup/wizard.h"
#include "setup/write_guard.h"

namespace nolvo::setup {

inline constexpr const char* kUninstallKeyBase =
    "Software\\Microsoft\\Windows\\currentversion\\uninstall\\";
inline constexpr const char* kUninstallerName = "uninstaller.exe";

struct EngineOptions {
  // Allow targets on host drives (such as Z:) that the configuration names.
  bool allowHostPaths = false;
  // The wizard's destination was chosen by the user (a --dir option, Browse): writing
  // inside it is allowed wherever it lies.
  bool installDirChosen = false;
  // Plan only: change nothing, ask nothing.
  bool dryRun = false;
  // Keep every file that exists already, whatever its overwrite mark, without asking.
  bool keepExisting = false;
  // Start a follow-on setup that "Launch" names (SETUP. or INSTALL.) even when the
  // launch choice is not selected, as the setup does when a person runs it. Off: only
  // the launch choice starts anything.
  bool startFollowOn = true;
  // Asked between steps, between files and between blocks of a copy: true stops the run
  // (it ends eeInterrupted, with what was written on record).
  std::function<bool()> interrupted;
  // Receives every action as it happens (the action log).
  std::function<void(const EngineAction&)> onAction;
};

// The parts of the setup the engine works with; all must outlive the engine.
struct EngineContext {
  platform::Machine& machine;
  app::SetupSettings& settings;  // LaunchProgram is rewritten into a full path
  const app::StartupState& state;
  std::string title;  // the product title (the main screen's header)
  TNolvo& wizard;     // destination, choices, check lists, progress page
  platform::Dialogs& dialogs;
  platform::MessagePump& pump;
  TShortcuts& shortcuts;
  platform::Registry& registry;  // the machine's registry store
  // The upper-case names of the files this run extracted into TempDir: a file of the
  // active list that is not among them is not installed (whatever TempDir holds). Null:
  // every file in TempDir counts.
  const std::set<std::string>* expanded = nullptr;
};

enum class EngineEnd {
  eeCompleted,    // ran to its end (see the failure lists for what did not work)
  eeFailed,       // stopped by a failure; `error` holds its message
  eeRefused,      // refused before anything was written; `error` says why
  eeInterrupted,  // stopped because `interrupted` said so
};

struct FailedCopy {
  std::string source;
  std::string destination;
  std::string message;
};

struct FailedShortcutEntry {
  std::string link;  // the link file, or the program-group entry when nothing was tried
  std::string message;
};

struct EngineResult {
  EngineEnd end = EngineEnd::eeCompleted;
  std::string error;
  std::string installDirectory;
  std::string recordFile;  // uninstall.cfg, once the run has opened it (empty before)
  std::vector<FailedCopy> failedCopies;
  std::vector<FailedShortcutEntry> failedShortcuts;
  std::vector<std::string> refused;      // targets refused, one line each
  std::vector<std::string> unusable;     // configuration lines that could not be used
  std::vector<std::string> directories;  // directories that could not be made
  std::vector<std::string> notStarted;   // what "Launch" names but was not started
  bool launched = false;                 // a launch was requested (or planned)
  std::vector<EngineAction> actions;     // every action, in order: the plan or the log

  // Completed with nothing failed, unusable or refused.
  bool FullSuccess() const { return end == EngineEnd::eeCompleted && !ProblemList().Failed(); }
  // Every failure, refusal, unusable line and the stopping error, for the end-of-run
  // report; what was not started is a note.
  RunReport ProblemList() const;
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
  void CheckEntries();
  void MakeDirectory(const std::string& directory);
  void RecordFolder(const std::string& folder);
  void RecordFile(const std::string& path, bool existed);
  // What records a new file (one the target did not hold before) just before it takes its
  // name, so that a run killed right then leaves it on record.
  std::function<void(const InstalledFile&)> RecordAhead(bool existed);
  // RecordAhead for a file written whole under a temporary name (such as a link): records
  // `target` with the temporary file's size and time. A record that cannot grow keeps the
  // file from its name (the call answers false) and is kept in `failure` to be raised.
  platform::BeforeRename RecordAheadOf(const std::string& target, bool existed,
                                       std::exception_ptr& failure);
  void CloseRecord();
  // Throws when the run is to stop.
  void Checkpoint();
  bool Interrupted() {
    return stopping_ = stopping_ || (options_.interrupted && options_.interrupted());
  }
  void CopySetupFiles();
  void CopyProductFiles();
  void CopyOne(const std::vector<std::string>& list, std::size_t index, const std::string& file,
               const std::string& rest, const std::string& directory);
  void ReleaseTempCopy(const std::vector<std::string>& list, std::size_t index,
                       const std::string& file);
  // Whether an entry of `list` other than `index` holds `upperName` in its text.
  bool NamedElsewhere(const std::vector<std::string>& list, std::size_t index,
                      const std::string& upperName);
  bool Expanded(const std::string& file) const;
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
  std::vector<std::string> unrecordedFolders_;  // made before the record was open
  std::set<std::string> planned_;               // upper-case files a dry run would create
  bool stopping_ = false;                       // an interruption was seen
  EntryTextIndex entryIndex_;                   // the active list's entries, for NamedElsewhere
};

}  // namespace nolvo::setup
