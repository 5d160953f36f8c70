#include "app/ui/setup_program.h"

#include <string>

#include "app/ui/report_dialog.h"
#include "platform/machine_registry.h"
#include "platform/shell_folders.h"
#include "platform/wine_server.h"
#include "setup/host_menu.h"
#include "setup/shortcuts.h"

namespace nolvo::ui {

SetupProgram::SetupProgram(platform::Machine& machine, platform::Dialogs& dialogs,
                           platform::MessagePump& pump, std::optional<std::string> commandLineDir)
    : machine_(machine),
      dialogs_(dialogs),
      pump_(pump),
      registry_(platform::MachineRegistryStore(machine)) {
  // The windows, in their designed order; the wizard's window follows once the wizard
  // exists (the main screen's FormShow makes it), and the extraction window after it.
  mainSetup_ = std::make_unique<MainScreenWindow>(machine_.Codepage());
  form3_ = std::make_unique<DirectoryChooserDialog>(machine_, mainSetup_.get());
  frontEnd_ = std::make_unique<GuiFrontEnd>(machine_, *mainSetup_, *form3_);
  run_ = std::make_unique<setup::SetupRun>(
      machine_, dialogs_, pump_, *frontEnd_, std::move(commandLineDir),
      [this](setup::TNolvo& wizard, setup::SetupRun& run) { Install(wizard, run); });
  run_->OnCleanedUp = [this] { ShowReport(); };

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
    run_->FormShow();
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
  mainSetup_->ApplyModel(run_->Screen());
  frontEnd_->CreateWizardWindow(run_->Wizard());
  timer1_.start(TimerInterval);
}

void SetupProgram::Timer1Timer() {
  timer1_.stop();
  run_->Timer1Timer();
  mainSetup_->close();
}

void SetupProgram::FormClose() {
  timer1_.stop();
  if (started_) {
    run_->FormClose();
    const setup::RunOutcome& outcome = run_->Outcome();
    if (outcome.Aborted || (!outcome.Abandoned && !engine_))
      exitCode_ = 3;  // aborted, cancelled, declined or closed before installing
    else if (outcome.Abandoned || outcome.Report.Failed())
      exitCode_ = 1;
    else if (engine_->end != setup::EngineEnd::eeCompleted)
      exitCode_ = 1;
  }
  finished_ = true;
  if (OnFinished) OnFinished();
}

void SetupProgram::ShowReport() {
  const setup::RunReport& report = run_->Outcome().Report;
  if (report.Empty()) return;
  ReportDialog box(report, machine_.Codepage(), kApplicationTitle, mainSetup_.get());
  if (OnReportShown) QTimer::singleShot(0, &box, [&] { OnReportShown(box); });
  box.exec();
}

bool SetupProgram::WineLeavesRegistry() {
  if (!machine_.IsWinePrefix()) return true;
  while (!platform::WaitForWineServerExit(machine_.Prefix(), platform::kWineServerGrace)) {
    const std::string text = std::string(platform::EWineRunning(machine_.Prefix()).what()) +
                             "\n\nOK: try again once they are closed. Cancel: end the setup.";
    if (!dialogs_.ErrorOkCancel(text)) return false;
  }
  return true;
}

void SetupProgram::Install(setup::TNolvo& wizard, setup::SetupRun& run) {
  // Nothing is written while Wine holds the prefix's registry.
  if (!WineLeavesRegistry()) {
    wizard.cancelClick();
    return;
  }
  try {
    const std::string note = platform::MergeLeftoverRegistry(machine_, registry_);
    if (!note.empty()) dialogs_.Inform(note);
  } catch (const std::exception& e) {
    platform::MessageRequest box;
    box.text = e.what();
    box.kind = platform::DialogKind::dkError;
    dialogs_.ShowMessageBox(box);
    wizard.cancelClick();
    return;
  }
  app::SetupSettings settings = run.Loaded().Settings;
  setup::TShortcuts shortcuts(machine_, platform::ReadShellFolders(machine_, registry_));
  setup::EngineContext context{machine_,    settings,
                               run.State(), run.Loaded().Screen.Header.Text,
                               wizard,      dialogs_,
                               pump_,       shortcuts,
                               registry_,   &run.ExpandedFiles()};
  setup::EngineOptions options;
  options.installDirChosen = true;  // the destination was shown and could be changed
  engine_ = setup::InstallEngine(context, options).Run();
  if (engine_->end == setup::EngineEnd::eeCompleted && machine_.IsWinePrefix()) {
    // The host's menu entries are a convenience: a failure there ends nothing.
    const setup::HostMenuResult menu =
        setup::MakeHostMenu(machine_, shortcuts.Locations, setup::SavedLinks(*engine_),
                            setup::HostMenuFolders::FromEnvironment());
    try {
      setup::RecordHostMenu(machine_, engine_->installDirectory + "\\" + setup::kUninstallFileName,
                            menu.made);
    } catch (const std::exception&) {
    }
  }
  // Every problem, the stopping failure included, goes into the one box at the end.
  run.Report().Append(engine_->ProblemList().Items());
  // A setup that did not finish ends as a cancelled one (no restart).
  if (engine_->end != setup::EngineEnd::eeCompleted) wizard.cancelClick();
}

}  // namespace nolvo::ui
