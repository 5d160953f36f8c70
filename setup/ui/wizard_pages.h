#pragma once
// The seven pages of the wizard window, one class each. A page builds its controls (each
// with the object name the tests and the screenshots find it by), renders its part of a
// TNolvo in Refresh and forwards its controls' changes to the TNolvo.

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <functional>
#include <string>

#include "platform/code_page.h"
#include "setup/wizard.h"

namespace nolvo::ui {

class WizardPageBase : public QWidget {
 public:
  WizardPageBase(setup::TNolvo& wizard, const platform::CodePage& codePage, const char* name);
  // Renders the wizard's state; the changes this makes are not sent back to the wizard.
  void Refresh();

 protected:
  virtual void Render() = 0;
  // A text of the setup (ANSI in the media's code page) for Qt.
  QString A(const std::string& ansi) const;
  bool Refreshing() const { return refreshing_; }

  setup::TNolvo& wizard_;

 private:
  const platform::CodePage& codePage_;
  bool refreshing_ = false;
};

class WelcomePage : public WizardPageBase {
 public:
  WelcomePage(setup::TNolvo& wizard, const platform::CodePage& codePage);

 protected:
  void Render() override {}
};

class LicencePage : public WizardPageBase {
 public:
  // `afterDecline` runs after Decline was handed to the wizard.
  LicencePage(setup::TNolvo& wizard, const platform::CodePage& codePage,
              std::function<void()> afterDecline);

 protected:
  void Render() override;

 private:
  QPlainTextEdit* memo3_;
};

class DestinationPage : public WizardPageBase {
 public:
  DestinationPage(setup::TNolvo& wizard, const platform::CodePage& codePage,
                  setup::DirectoryChooser& chooser);

 protected:
  void Render() override;

 private:
  QLabel* label1_;
};

class FoldersPage : public WizardPageBase {
 public:
  FoldersPage(setup::TNolvo& wizard, const platform::CodePage& codePage);

 protected:
  void Render() override;

 private:
  // Sends the check marks of `box`, the desktop list or the Start Menu list, to the wizard.
  void BindList(QListWidget* box, bool desktop);

  QLabel* createFolder_;
  QCheckBox* checkBox1_;
  QCheckBox* checkBox2_;
  QListWidget* dk_;
  QListWidget* sm_;
};

class InstallTypePage : public WizardPageBase {
 public:
  InstallTypePage(setup::TNolvo& wizard, const platform::CodePage& codePage);

 protected:
  void Render() override;

 private:
  QRadioButton* full_;
  QRadioButton* min_;
};

class ReadyPage : public WizardPageBase {
 public:
  ReadyPage(setup::TNolvo& wizard, const platform::CodePage& codePage);

 protected:
  void Render() override;

 private:
  QRadioButton* radio1_;
  QRadioButton* radio2_;
  QRadioButton* reboot_;
  QButtonGroup* finishGroup_;
  QLabel* label2_;
  QPlainTextEdit* memo4_;
};

class ProgressPage : public WizardPageBase {
 public:
  ProgressPage(setup::TNolvo& wizard, const platform::CodePage& codePage);

 protected:
  void Render() override;

 private:
  QLabel* source_;
  QLabel* dest_;
  QProgressBar* progress_;
};

}  // namespace nolvo::ui
