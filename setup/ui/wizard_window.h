#pragma once
// Nolvo: the wizard window. Seven pages (setup/ui/wizard_pages.h) in a stacked widget above
// the button bar; every control renders the state of a TNolvo and every click goes to its
// handler. Tests and the screenshots find the controls by their object names.

#include <QDialog>
#include <QPushButton>
#include <QStackedWidget>
#include <functional>
#include <vector>

#include "platform/code_page.h"
#include "setup/wizard.h"

namespace nolvo::ui {

class WizardPageBase;

class WizardWindow : public QDialog {
 public:
  // `chooser` answers Browse; `background` is the main screen (the status window is
  // placed relative to its height), may be null.
  WizardWindow(setup::TNolvo& wizard, const platform::CodePage& codePage,
               setup::DirectoryChooser& chooser, QWidget* background = nullptr);
  ~WizardWindow() override;

  // The installation run by the Install button.
  void SetInstall(std::function<void(setup::TNolvo&)> install) { install_ = std::move(install); }
  // Renders the wizard's state.
  void Refresh();

  setup::TNolvo& Wizard() { return wizard_; }

 protected:
  void reject() override;  // Escape and the close box
  void closeEvent(QCloseEvent* event) override;

 private:
  void FinishIfClosed();
  void ShrinkToStatus();

  setup::TNolvo& wizard_;
  QWidget* background_;
  std::function<void(setup::TNolvo&)> install_;
  bool shrunk_ = false;
  bool installing_ = false;  // the Install button's engine is running

  QStackedWidget* notebook_ = nullptr;
  std::vector<WizardPageBase*> pages_;
  QWidget* panel_ = nullptr;
  QPushButton *back_ = nullptr, *next_ = nullptr, *install_button_ = nullptr;
};

}  // namespace nolvo::ui
