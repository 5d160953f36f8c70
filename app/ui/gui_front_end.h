#pragma once
// The setup run's two modal stages as windows: the extraction window (shown, then its
// one-second timer runs the expansion) and the wizard window.

#include <memory>

#include "archive/ui/extraction_window.h"
#include "setup/setup_run.h"
#include "setup/ui/directory_chooser_dialog.h"
#include "setup/ui/wizard_window.h"

namespace nolvo::ui {

class MainScreenWindow;

class GuiFrontEnd : public setup::RunFrontEnd {
 public:
  GuiFrontEnd(platform::Machine& machine, MainScreenWindow& mainScreen,
              DirectoryChooserDialog& chooser);
  ~GuiFrontEnd() override;

  // Creates the wizard window once the wizard exists (after the main screen's FormShow).
  void CreateWizardWindow(setup::TNolvo& wizard);

  stage::UnzipView& ExtractionView() override;
  void ShowExtraction(stage::TUnzip& unzip) override;
  void ShowWizard(setup::TNolvo& wizard,
                  const std::function<void(setup::TNolvo&)>& install) override;

  // The extraction window's Timer1 interval (1000 ms as designed).
  int TimerInterval = 1000;
  // Runs right after a modal window is up (tests drive the windows from here).
  std::function<void(QDialog&)> OnModalShown;

  ExtractionWindow* Extraction() { return extraction_.get(); }
  WizardWindow* Wizard() { return wizardWindow_.get(); }

 private:
  platform::Machine& machine_;
  MainScreenWindow& mainScreen_;
  DirectoryChooserDialog& chooser_;
  std::unique_ptr<WizardWindow> wizardWindow_;
  std::unique_ptr<ExtractionWindow> extraction_;
};

}  // namespace nolvo::ui
