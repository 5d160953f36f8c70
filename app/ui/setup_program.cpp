#include "app/ui/setup_program.h"

#include <string>

#include "app/ui/report_dialog.h"
#include "platform/machine_registry.h"

namespace nolvo::ui {

SetupProgram::SetupProgram(platform::Machine& machine, platform::Dialogs& dialogs,
                           platform::MessagePump& pump, std::optional<std::string> commandLineDir)
    : machine_(machine), dialogs_(dialogs), pump_(pump) {
  // The windows, in their designed order; the wizard's window follows once the wizard
  // exists (the main screen's FormShow makes it), and the extraction window after it.
  mainSetup_ = std::make_unique<MainScreenWindow>(machine_.Codepage());
  form3_ = std::make_unique<DirectoryChooserDialog>(machine_, mainSetup_.get());
  frontEnd_ = std::make_unique<GuiFrontEnd>(machine_, *mainSetup_, *form3_);
  setup::InstallSessionOptions options;
  options.engine.installDirChosen = true;  // the destination was shown and could be changed
  options.beforeEngine = [this](setup::TNolvo&) { return PrepareRegistry(); };
  session_ = std::make_unique<setup::InstallSession>(machine_, dialogs_, pump_, *frontEnd_,
                                                     std::move(commandLineDir), std::move(options));
  Run().OnCleanedUp = [this] { ShowReport(); };

  timer1_.setSingleShot(true);
  QObject::connect(&timer1_, &QTimer::timeout, mainSetup_.get(), [this] { Timer1Timer(); });
  mainSetup_->OnClose = [this] { FormClose(); };
}

SetupProgram::~SetupProgram() {
  timer1_.stop();
  if (mainSetup_) mainSetup_->OnClose = nullptr;
  // The wizard's window refers to the wizard the run owns: it goes first.
  frontEnd_.reset();
}

void SetupProgram::Start(bool maximised) {
  if (maximised)
    mainSetup_->showMaximized();
  else
    mainSetup_->show();
  QTimer::singleShot(0, mainSetup_.get(), [this] { FormShow(); });
}

void SetupProgram::FormShow() {
  try {
    Run().FormShow();
  } catch (const std::exception& e) {
    // The command-line folder cannot be entered: report it and end without clean-up.
    exitCode_ = 1;
    mainSetup_->OnClose = nullptr;
    platform::MessageRequest box;
    box.text = e.what();
    box.kind = platform::DialogKind::dkError;
    dialogs_.ShowMessageBox(box);
    finished_ = true;
    mainSetup_->close();
    if (OnFinished) OnFinished();
    return;
  }
  started_ = true;
  mainSetup_->ApplyModel(Run().Screen());
  frontEnd_->CreateWizardWindow(Run().Wizard());
  timer1_.start(TimerInterval);
}

void SetupProgram::Timer1Timer() {
  timer1_.stop();
  Run().Timer1Timer();
  mainSetup_->close();
}

void SetupProgram::FormClose() {
  timer1_.stop();
  if (started_) {
    Run().FormClose();
    const setup::RunOutcome& outcome = Run().Outcome();
    const std::optional<setup::EngineResult>& engine = Engine();
    if (registryFailed_)
      exitCode_ = 1;
    else if (outcome.Aborted || (!outcome.Abandoned && !engine))
      exitCode_ = 3;  // aborted, cancelled, declined or closed before installing
    else if (outcome.Abandoned || outcome.Report.Failed())
      exitCode_ = 1;
    else if (engine->end != setup::EngineEnd::eeCompleted)
      exitCode_ = 1;
  }
  finished_ = true;
  if (OnFinished) OnFinished();
}

void SetupProgram::ShowReport() {
  const setup::RunReport& report = Run().Outcome().Report;
  if (report.Empty()) return;
  ReportDialog box(report, machine_.Codepage(), kApplicationTitle, mainSetup_.get());
  if (OnReportShown) QTimer::singleShot(0, &box, [&] { OnReportShown(box); });
  box.exec();
}

bool SetupProgram::PrepareRegistry() {
  // Nothing is written while Wine holds the prefix's registry.
  const bool wineLeft = setup::WineLeavesRegistry(machine_, [this](const std::string& reason) {
    return dialogs_.ErrorOkCancel(reason +
                                  "\n\nOK: try again once they are closed. Cancel: end the setup.");
  });
  if (!wineLeft) return false;
  try {
    session_->Registry().Refresh();  // Wine may have written it back while the wizard waited
    const std::string note = platform::MergeLeftoverRegistry(machine_, session_->Registry());
    if (!note.empty()) dialogs_.Inform(note);
  } catch (const std::exception& e) {
    // Nothing is installed: a failure, named in the end-of-run box, not a cancel.
    registryFailed_ = true;
    Run().Report().Add(setup::ProblemKind::pkStopped,
                       std::string("The prefix's registry could not be prepared: ") + e.what());
    return false;
  }
  return true;
}

}  // namespace nolvo::ui
