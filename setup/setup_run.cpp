#include "setup/setup_run.h"

#include <fmt/format.h>

#include "archive/media/setup_checks.h"
#include "platform/win_path.h"
#include "setup/directory_tokens.h"
#include "util/win_reboot.h"

namespace nolvo::setup {

SetupRun::SetupRun(platform::Machine& machine, platform::Dialogs& dialogs,
                   platform::MessagePump& pump, RunFrontEnd& frontEnd,
                   std::optional<std::string> commandLineDir,
                   std::function<void(TNolvo&, SetupRun&)> install)
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
  loaded_ = app::LoadSettings(config.error.ok() ? platform::ProfileReader(config.host)
                                                : platform::ProfileReader(platform::ProfileText{}),
                              loaded_.Screen);
  wizard_ = std::make_unique<TNolvo>(loaded_.Settings, dialogs_, pump_);
  wizard_->ApplyPreset(loaded_.Wizard);
  for (const auto& d : loaded_.Diagnostics)
    if (d.LineUnused) outcome_.Report.Add(ProblemKind::pkConfiguration, d.Text);
}

void SetupRun::Timer1Timer() {
  stage::TUnzip::Hooks hooks;
  hooks.ClearTempDir = [this] { app::ClearTempDir(machine_, state_.TempDir); };
  hooks.Terminate = [this] {
    outcome_.Aborted = true;
    if (OnTerminate) OnTerminate();
  };
  hooks.ClearRebootChoice = [this] {
    if (wizard_->RebootSelected()) wizard_->Edit().Finish.Selected = app::FinishChoice::fcNone;
  };
  hooks.Warning = [this](const std::string& text) {
    outcome_.Report.Warn(ProblemKind::pkMedia, text);
  };
  {
    stage::TUnzip unzip(machine_, dialogs_, pump_, frontEnd_.ExtractionView(), state_,
                        loaded_.Settings, hooks);
    media::SetupChecks checks(machine_);
    unzip.SetChecks(&checks);
    // A file that cannot be written into TempDir is an error, not a file passed over:
    // otherwise a stale file of that name could be installed in its place.
    unzip.SegCompEZ1.SetExceptionOnFileError(true);
    // Only the files written in this run are installed from TempDir.
    auto checkFile = unzip.SegCompEZ1.OnCheckFile;
    unzip.SegCompEZ1.OnCheckFile = [this, checkFile](std::string& path,
                                                     container::TCProcessMode mode) {
      checkFile(path, mode);
      expanded_.insert(platform::AsciiUpper(FileNamePart(path)));
    };
    frontEnd_.ShowExtraction(unzip);
    outcome_.Abandoned = unzip.Abandoned;
    outcome_.ExtractionError = unzip.LastError();
    outcome_.Media = unzip.Report();
  }
  // What the checks found about the medium joins the end-of-run list; the finding that
  // stopped the extraction (with its segment, archive and entry) stands for the bare error.
  std::string stopped = outcome_.ExtractionError;
  for (const auto& f : outcome_.Media.Findings) {
    std::string line;
    machine_.Codepage().FromUtf8(stage::Describe(f, machine_.Codepage()), line);
    if (f.Level == stage::Severity::Fatal)
      stopped = line;
    else if (f.Level >= stage::Severity::Error)
      outcome_.Report.Add(ProblemKind::pkMedia, line);
    else if (f.Level == stage::Severity::Warning)
      outcome_.Report.Warn(ProblemKind::pkMedia, line);
  }
  // An abort the user confirmed is no problem to report.
  if (outcome_.Abandoned && !outcome_.Aborted)
    outcome_.Report.Add(ProblemKind::pkMedia,
                        stopped.empty()
                            ? std::string("The setup files were not expanded (abandoned)")
                            : "The setup files could not be expanded: " + stopped);
  if (!outcome_.Abandoned) {
    wizard_->FormShow(machine_, state_);
    frontEnd_.ShowWizard(*wizard_, [this](TNolvo& wizard) { install_(wizard, *this); });
  }
  outcome_.End = wizard_->End();
}

void SetupRun::FormClose() {
  app::ClearTempDir(machine_, state_.TempDir);
  if (!state_.CmdLineDir.empty()) {
    // Only the staged copy of the medium goes; anything else in the folder stays.
    const StagingCleanup c =
        ClearStagingFolder(machine_, state_.CmdLineDir, loaded_.Settings.BitmapFile);
    auto names = [](const std::vector<std::string>& list) {
      std::string out;
      for (const auto& n : list) out += (out.empty() ? "" : ", ") + n;
      return out;
    };
    if (!c.left.empty())
      outcome_.Report.Warn(
          ProblemKind::pkNote,
          fmt::format("The staging folder {} keeps what is no part of a setup medium: {}",
                      state_.CmdLineDir, names(c.left)));
    if (!c.failed.empty())
      outcome_.Report.Warn(
          ProblemKind::pkNote,
          fmt::format("Files of the staging folder {} that could not be deleted: {}",
                      state_.CmdLineDir, names(c.failed)));
    outcome_.Staging = c;
  }
  if (OnCleanedUp) OnCleanedUp();
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
