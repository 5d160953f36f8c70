#include "setup/setup_run.h"

#include "archive/media/setup_checks.h"
#include "util/win_reboot.h"

namespace nolvo::setup {

SetupRun::SetupRun(platform::Machine& machine, platform::Dialogs& dialogs,
                   platform::MessagePump& pump, RunFrontEnd& frontEnd,
                   std::optional<std::string> commandLineDir,
                   std::function<void(TNolvo&, const SetupRun&)> install)
    : machine_(machine),
      dialogs_(dialogs),
      pump_(pump),
      frontEnd_(frontEnd),
      commandLineDir_(std::move(commandLineDir)),
      install_(std::move(install)) {}

void SetupRun::FormShow() {
  state_ = app::FixStartupState(machine_, commandLineDir_);
  pump_.ProcessMessages();
  app::ClearTempDir(machine_, state_.TempDir);
  const auto config = machine_.Resolve(state_.SourceDir + "install.cfg");
  loaded_ = app::LoadSettings(config.error == 0 ? platform::ProfileReader(config.host)
                                                : platform::ProfileReader(platform::ProfileText{}),
                              loaded_.Screen);
  wizard_ = std::make_unique<TNolvo>(loaded_.Settings, dialogs_, pump_);
  wizard_->ApplyPreset(loaded_.Wizard);
}

void SetupRun::Timer1Timer() {
  stage::TUnzip::Hooks hooks;
  hooks.ClearTempDir = [this] { app::ClearTempDir(machine_, state_.TempDir); };
  hooks.Terminate = [this] {
    if (OnTerminate) OnTerminate();
  };
  hooks.ClearRebootChoice = [this] {
    if (wizard_->RebootSelected()) wizard_->Finish.Selected = app::FinishChoice::fcNone;
  };
  {
    stage::TUnzip unzip(machine_, dialogs_, pump_, frontEnd_.ExtractionView(), state_,
                        loaded_.Settings, hooks);
    media::SetupChecks checks(machine_);
    unzip.SetChecks(&checks);
    frontEnd_.ShowExtraction(unzip);
    outcome_.Abandoned = unzip.Abandoned;
    outcome_.ExtractionError = unzip.LastError();
    outcome_.Media = unzip.Report();
  }
  if (!outcome_.Abandoned) {
    wizard_->FormShow(machine_, state_);
    frontEnd_.ShowWizard(*wizard_, [this](TNolvo& wizard) { install_(wizard, *this); });
  }
  outcome_.End = wizard_->End();
}

void SetupRun::FormClose() {
  app::ClearTempDir(machine_, state_.TempDir);
  if (!state_.CmdLineDir.empty()) {
    state_.TempDir = state_.CmdLineDir;
    app::ClearTempDir(machine_, state_.TempDir);
  }
  if (wizard_ && wizard_->RebootSelected()) {
    outcome_.RebootRequested = true;
    util::TWinReboot winReboot1;
    outcome_.RebootAccepted = winReboot1.RestartWindows(2);
  }
}

RunOutcome SetupRun::Run() {
  FormShow();
  Timer1Timer();
  FormClose();
  return outcome_;
}

}  // namespace nolvo::setup
