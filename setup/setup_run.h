#pragma once
// One setup run from start to end, without any window: the main screen's first showing
// (start-up state, ClearTempDir, settings load, wizard preset), the start timer (the
// extraction stage, then the wizard unless extraction was abandoned) and the close
// (clean-up, staging folder, reboot request). The GUI and the console tool both drive
// this object; only how the two modal stages are shown differs (RunFrontEnd).

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/settings_loader.h"
#include "app/startup_state.h"
#include "archive/stage/unzip.h"
#include "platform/dialogs.h"
#include "platform/machine.h"
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
  bool Abandoned = false;        // extraction abandoned: no wizard
  WizardEnd End = WizardEnd::weOpen;
  bool RebootRequested = false;  // the reboot choice was selected at close
  bool RebootAccepted = false;   // the restart request succeeded
  std::string ExtractionError;   // the text behind "Error Expanding Files!!"
  // What the extraction found about the medium (digest lists, damaged or doubtful
  // entries); a Fatal finding is what ended it, an Error one makes the run a failure.
  stage::MediaReport Media;
};

class SetupRun {
 public:
  // `commandLineDir`: the staging folder named on the command line (its plain files are
  // deleted at close). `install` runs the installation engine with the wizard.
  SetupRun(platform::Machine& machine, platform::Dialogs& dialogs, platform::MessagePump& pump,
           RunFrontEnd& frontEnd, std::optional<std::string> commandLineDir,
           std::function<void(TNolvo&, const SetupRun&)> install);

  // The main screen's first showing. Throws util::EInOutError when the command-line
  // folder cannot be entered (nothing else has happened then).
  void FormShow();
  // The start timer: extraction, then the wizard unless it was abandoned.
  void Timer1Timer();
  // The main screen's close: clean-up and the reboot request.
  void FormClose();
  // Names a staging folder whose plain files the close deletes, without entering it
  // (the console's --staging; after FormShow).
  void SetStagingDir(const std::string& dir) { state_.CmdLineDir = dir; }
  // All three in order.
  RunOutcome Run();

  const app::StartupState& State() const { return state_; }
  const app::LoadResult& Loaded() const { return loaded_; }
  app::MainScreenModel& Screen() { return loaded_.Screen; }
  TNolvo& Wizard() { return *wizard_; }
  const RunOutcome& Outcome() const { return outcome_; }
  // Called when the abort asks the program to end (the GUI closes its windows).
  std::function<void()> OnTerminate;

 private:
  platform::Machine& machine_;
  platform::Dialogs& dialogs_;
  platform::MessagePump& pump_;
  RunFrontEnd& frontEnd_;
  std::optional<std::string> commandLineDir_;
  std::function<void(TNolvo&, const SetupRun&)> install_;
  app::StartupState state_;
  app::LoadResult loaded_;
  std::unique_ptr<TNolvo> wizard_;
  RunOutcome outcome_;
};

}  // namespace nolvo::setup
