#include "app/ui/gui_front_end.h"

#include <QTimer>

#include "app/ui/main_screen_window.h"

namespace nolvo::ui {

GuiFrontEnd::GuiFrontEnd(platform::Machine& machine, MainScreenWindow& mainScreen,
                         DirectoryChooserDialog& chooser)
    : machine_(machine), mainScreen_(mainScreen), chooser_(chooser) {}

GuiFrontEnd::~GuiFrontEnd() = default;

void GuiFrontEnd::CreateWizardWindow(setup::TNolvo& wizard) {
  wizardWindow_ =
      std::make_unique<WizardWindow>(wizard, machine_.Codepage(), chooser_, &mainScreen_);
}

stage::UnzipView& GuiFrontEnd::ExtractionView() {
  if (!extraction_)
    extraction_ = std::make_unique<ExtractionWindow>(machine_, &mainScreen_, &mainScreen_);
  return *extraction_;
}

void GuiFrontEnd::ShowExtraction(stage::TUnzip& unzip) {
  ExtractionView();
  ExtractionWindow& window = *extraction_;
  // FormShow once the window is up, then the one-shot Timer1 runs the expansion, which
  // closes the window at its end.
  QTimer timer1;
  timer1.setSingleShot(true);
  timer1.setInterval(TimerInterval);
  bool expanding = false;
  // An abort confirmed before the expansion began ends the stage at once: there is no
  // expansion to stop at its next progress report.
  auto endIfAbandoned = [&] {
    if (expanding || !unzip.Abandoned) return false;
    timer1.stop();
    window.Close();
    return true;
  };
  bool asking = false;
  window.OnClick = [&] {
    if (asking) return;  // one abort question at a time
    asking = true;
    unzip.FormClick();
    asking = false;
    endIfAbandoned();
  };
  QObject::connect(&timer1, &QTimer::timeout, &window, [&] {
    if (endIfAbandoned()) return;
    expanding = true;
    unzip.Timer1Timer();
  });
  QTimer::singleShot(0, &window, [&] {
    unzip.FormShow();
    if (!endIfAbandoned()) timer1.start();
    if (OnModalShown) OnModalShown(window);
  });
  window.exec();
  window.OnClick = nullptr;
  // The stage ends with the window destroyed.
  extraction_.reset();
}

void GuiFrontEnd::ShowWizard(setup::TNolvo& wizard,
                             const std::function<void(setup::TNolvo&)>& install) {
  if (!wizardWindow_ || &wizardWindow_->Wizard() != &wizard) CreateWizardWindow(wizard);
  WizardWindow& window = *wizardWindow_;
  window.SetInstall(install);
  window.Refresh();
  if (OnModalShown) QTimer::singleShot(0, &window, [&] { OnModalShown(window); });
  window.exec();
}

}  // namespace nolvo::ui
