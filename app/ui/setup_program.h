#pragma once
// The nolvo-setup program as one object: the four windows around the installation session
// (the setup run with the installation engine behind the wizard's Install button). main()
// only adds the display check, the application object and the prefix lock.

#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "app/ui/gui_front_end.h"
#include "app/ui/main_screen_window.h"
#include "setup/install_session.h"
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
  const std::optional<setup::EngineResult>& Engine() const { return session_->Engine(); }

  MainScreenWindow& MainSetup() { return *mainSetup_; }
  DirectoryChooserDialog& Form3() { return *form3_; }
  GuiFrontEnd& FrontEnd() { return *frontEnd_; }
  setup::SetupRun& Run() { return session_->Run(); }

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
  void ShowReport();
  // As Install is pressed: waits for Wine to leave the prefix's registry and merges a
  // leftover registry file. False when the person gave up or the merge failed (then
  // the failure is in the report).
  bool PrepareRegistry();

  platform::Machine& machine_;
  platform::Dialogs& dialogs_;
  platform::MessagePump& pump_;
  std::unique_ptr<MainScreenWindow> mainSetup_;
  std::unique_ptr<DirectoryChooserDialog> form3_;
  std::unique_ptr<GuiFrontEnd> frontEnd_;
  std::unique_ptr<setup::InstallSession> session_;
  QTimer timer1_;
  bool started_ = false;
  bool finished_ = false;
  bool registryFailed_ = false;  // Install stopped: the prefix's registry was not ready
  int exitCode_ = 0;
};

}  // namespace nolvo::ui
