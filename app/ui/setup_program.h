#pragma once
// The nolvo-setup program as one object: the four windows, the setup run and the
// installation engine behind the wizard's Install button. main() only adds the display
// check, the application object and the prefix lock.

#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "app/ui/gui_front_end.h"
#include "app/ui/main_screen_window.h"
#include "platform/registry.h"
#include "setup/install_engine.h"
#include "setup/setup_run.h"
#include "setup/ui/directory_chooser_dialog.h"

namespace nolvo::ui {

inline constexpr const char* kApplicationTitle = "Nolvo - Setup";

class SetupProgram {
 public:
  SetupProgram(platform::Machine& machine, platform::Dialogs& dialogs, platform::MessagePump& pump,
               std::optional<std::string> commandLineDir);
  ~SetupProgram();

  // Shows the main screen (maximised unless `maximised` is false); once it is up its
  // FormShow runs and Timer1 is armed.
  void Start(bool maximised = true);

  // The main screen has closed (the run is over).
  bool Finished() const { return finished_; }
  // The program's exit status, as `nolvo install` gives it: 0 installed as asked; 1 the
  // start-up failed, the extraction failed, or the report names a problem; 3 the user
  // aborted the extraction, or cancelled, declined or closed the wizard before installing.
  int ExitCode() const { return exitCode_; }
  // The engine's result, when Install ran.
  const std::optional<setup::EngineResult>& Engine() const { return engine_; }

  MainScreenWindow& MainSetup() { return *mainSetup_; }
  DirectoryChooserDialog& Form3() { return *form3_; }
  GuiFrontEnd& FrontEnd() { return *frontEnd_; }
  setup::SetupRun& Run() { return *run_; }

  // The main screen's Timer1 interval (1000 ms as designed).
  int TimerInterval = 1000;
  // Runs when the main screen has closed.
  std::function<void()> OnFinished;
  // Runs right after the end-of-run report box is up (tests read and close it here).
  std::function<void(QDialog&)> OnReportShown;

 private:
  void FormShow();
  void Timer1Timer();
  void FormClose();
  void Install(setup::TNolvo& wizard, setup::SetupRun& run);
  void ShowReport();
  // In a Wine prefix: false when Wine still holds its registry and the person gave up.
  bool WineLeavesRegistry();

  platform::Machine& machine_;
  platform::Dialogs& dialogs_;
  platform::MessagePump& pump_;
  platform::Registry registry_;
  std::unique_ptr<MainScreenWindow> mainSetup_;
  std::unique_ptr<DirectoryChooserDialog> form3_;
  std::unique_ptr<GuiFrontEnd> frontEnd_;
  std::unique_ptr<setup::SetupRun> run_;
  QTimer timer1_;
  bool started_ = false;
  bool finished_ = false;
  int exitCode_ = 0;
  std::optional<setup::EngineResult> engine_;
};

}  // namespace nolvo::ui
