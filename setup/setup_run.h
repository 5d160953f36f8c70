#pragma once
// One setup run from start to end, without any window: the main screen's first showing
// (start-up state, ClearTempDir, settings load, wizard preset), the start timer (the
// extraction stage, then the wizard unless extraction was abandoned) and the close
// (clean-up, staging folder, reboot request). The GUI and the console tool both drive
// this object; only how the two modal stages are shown differs (RunFrontEnd).

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "app/settings_loader.h"
#include "app/startup_state.h"
#include "archive/stage/unzip.h"
#include "platform/dialogs.h"
#include "platform/machine.h"
#include "setup/run_report.h"
#include "setup/staging_folder.h"
#include "setup/wizard.h"

namespace nolvo::setup {

// How a front end shows the two modal stages.
class RunFrontEnd {
 public:
  virtual ~RunFrontEnd() = default;
  // The view of the extraction window, alive for the whole run.
  virtual stage::UnzipView& ExtractionView() = 0;
  // Shows the extraction window modally: FormShow, then (one second later in the GUI)
  // Timer1Timer; returns when the window has closed.
  virtual void ShowExtraction(stage::TUnzip& unzip) = 0;
  // Shows the wizard modally; returns when it has closed. Its Install button must call
  // wizard.installClick(install).
  virtual void ShowWizard(TNolvo& wizard, const std::function<void(TNolvo&)>& install) = 0;
};

struct RunOutcome {
  bool Abandoned = false;  // extraction abandoned: no wizard
  bool Aborted = false;    // ... because the user confirmed the abort question
  WizardEnd End = WizardEnd::weOpen;
  bool RebootRequested = false;  // the reboot choice was selected at close
  bool RebootAccepted = false;   // the restart request succeeded
  std::string ExtractionError;   // the text behind "Error Expanding Files!!"
  // What the extraction found about the medium (digest lists, damaged or doubtful
  // entries); a Fatal finding is what ended it, an Error one makes the run a failure.
  stage::MediaReport Media;
  std::optional<StagingCleanup> Staging;  // what the close did in the staging folder
  // The end-of-run list: unusable configuration lines, the extraction's failure and
  // warnings, the staging folder's leftovers, and what the installation adds to it.
  RunReport Report;
};

class SetupRun {
 public:
  // `commandLineDir`: the staging folder named on the command line (the setup-medium files
  // in it are deleted at close; see staging_folder.h). `install` runs the installation
  // engine with the wizard and adds its problems to Report().
  SetupRun(platform::Machine& machine, platform::Dialogs& dialogs, platform::MessagePump& pump,
           RunFrontEnd& frontEnd, std::optional<std::string> commandLineDir,
           std::function<void(TNolvo&, SetupRun&)> install);

  // The main screen's first showing. Throws util::EInOutError when the command-line
  // folder cannot be entered (nothing else has happened then).
  void FormShow();
  // The start timer: extraction, then the wizard unless it was abandoned.
  void Timer1Timer();
  // The main screen's close: clean-up and the reboot request.
  void FormClose();
  // Names a staging folder whose setup-medium files the close deletes, without entering
  // it (the console's --staging; after FormShow).
  void SetStagingDir(const std::string& dir) { state_.CmdLineDir = dir; }
  // All three in order.
  RunOutcome Run();

  const app::StartupState& State() const { return state_; }
  const app::LoadResult& Loaded() const { return loaded_; }
  app::MainScreenModel& Screen() { return loaded_.Screen; }
  TNolvo& Wizard() { return *wizard_; }
  const RunOutcome& Outcome() const { return outcome_; }
  RunReport& Report() { return outcome_.Report; }
  // The upper-case names of the files the extraction wrote into TempDir in this run.
  const std::set<std::string>& ExpandedFiles() const { return expanded_; }
  // Called when the abort asks the program to end (the GUI closes its windows).
  std::function<void()> OnTerminate;
  // Called by the close once the clean-up is done and before a restart is requested
  // (the GUI shows the end-of-run report here).
  std::function<void()> OnCleanedUp;

 private:
  platform::Machine& machine_;
  platform::Dialogs& dialogs_;
  platform::MessagePump& pump_;
  RunFrontEnd& frontEnd_;
  std::optional<std::string> commandLineDir_;
  std::function<void(TNolvo&, SetupRun&)> install_;
  app::StartupState state_;
  app::LoadResult loaded_;
  std::unique_ptr<TNolvo> wizard_;
  RunOutcome outcome_;
  std::set<std::string> expanded_;
};

}  // namespace nolvo::setup
