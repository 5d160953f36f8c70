#pragma once
// Nolvo: the wizard window. Seven pages in a stacked widget above the button bar; every
// control renders the state of a TNolvo and every click goes to its handler.

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <functional>

#include "platform/code_page.h"
#include "setup/wizard.h"

namespace nolvo::ui {

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
  QStackedWidget* Notebook1() { return notebook_; }
  QPushButton* CancelButton() { return cancel_; }
  QPushButton* BackButton() { return back_; }
  QPushButton* NextButton() { return next_; }
  QPushButton* InstallButton() { return install_button_; }
  QPushButton* AcceptButton() { return accept_; }
  QPushButton* DeclineButton() { return decline_; }
  QPushButton* BrowseButton() { return browse_; }
  QListWidget* DK() { return dk_; }
  QListWidget* SM() { return sm_; }
  QCheckBox* CheckBox1() { return checkBox1_; }
  QCheckBox* CheckBox2() { return checkBox2_; }
  QRadioButton* Full() { return full_; }
  QRadioButton* Min() { return min_; }
  QRadioButton* RadioButton1() { return radio1_; }
  QRadioButton* RadioButton2() { return radio2_; }
  QRadioButton* Reboot() { return reboot_; }
  QLabel* Label1() { return label1_; }
  QLabel* Label2() { return label2_; }
  QLabel* CreateFolder() { return createFolder_; }
  QPlainTextEdit* Memo3() { return memo3_; }
  QPlainTextEdit* Memo4() { return memo4_; }
  QLabel* Source() { return source_; }
  QLabel* Dest() { return dest_; }
  QProgressBar* ProgressBar1() { return progress_; }
  QWidget* Panel1() { return panel_; }

 protected:
  void reject() override;  // Escape and the close box
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* BuildWelcome();
  QWidget* BuildLicence();
  QWidget* BuildDestination();
  QWidget* BuildFolders();
  QWidget* BuildInstallType();
  QWidget* BuildReady();
  QWidget* BuildProgress();
  void FinishIfClosed();
  void ShrinkToStatus();
  QString A(const std::string& ansi) const;

  setup::TNolvo& wizard_;
  const platform::CodePage& codePage_;
  setup::DirectoryChooser& chooser_;
  QWidget* background_;
  std::function<void(setup::TNolvo&)> install_;
  bool refreshing_ = false;
  bool shrunk_ = false;
  bool installing_ = false;  // the Install button's engine is running

  QStackedWidget* notebook_ = nullptr;
  QWidget* panel_ = nullptr;
  QPushButton *cancel_ = nullptr, *back_ = nullptr, *next_ = nullptr, *install_button_ = nullptr;
  QPushButton *accept_ = nullptr, *decline_ = nullptr, *browse_ = nullptr;
  QListWidget *dk_ = nullptr, *sm_ = nullptr;
  QCheckBox *checkBox1_ = nullptr, *checkBox2_ = nullptr;
  QRadioButton *full_ = nullptr, *min_ = nullptr;
  QRadioButton *radio1_ = nullptr, *radio2_ = nullptr, *reboot_ = nullptr;
  QButtonGroup* finishGroup_ = nullptr;
  QLabel *label1_ = nullptr, *label2_ = nullptr, *createFolder_ = nullptr;
  QPlainTextEdit *memo3_ = nullptr, *memo4_ = nullptr;
  QLabel *source_ = nullptr, *dest_ = nullptr;
  QProgressBar* progress_ = nullptr;
};

}  // namespace nolvo::ui
