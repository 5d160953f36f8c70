#include "setup/ui/wizard_window.h"

#include <QCloseEvent>

#include "app/ui/ui_text.h"
#include "setup/ui/wizard_pages.h"

namespace nolvo::ui {

namespace {

constexpr int kWidth = 433;
constexpr int kHeight = 263;
constexpr int kPanelHeight = 41;
constexpr int kStatusHeight = 120;

}  // namespace

WizardWindow::WizardWindow(setup::TNolvo& wizard, const platform::CodePage& codePage,
                           setup::DirectoryChooser& chooser, QWidget* background)
    : QDialog(background,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      wizard_(wizard),
      background_(background) {
  setObjectName("Nolvo");
  setWindowTitle("Nolvo32 - Setup");
  setFont(DefaultFont());
  setFixedSize(kWidth, kHeight);
  setModal(true);

  notebook_ = new QStackedWidget(this);
  notebook_->setObjectName("Notebook1");
  notebook_->setGeometry(0, 0, kWidth, kHeight - kPanelHeight);
  pages_ = {new WelcomePage(wizard_, codePage),
            new LicencePage(wizard_, codePage, [this] { FinishIfClosed(); }),
            new DestinationPage(wizard_, codePage, chooser),
            new FoldersPage(wizard_, codePage),
            new InstallTypePage(wizard_, codePage),
            new ReadyPage(wizard_, codePage),
            new ProgressPage(wizard_, codePage)};
  for (WizardPageBase* page : pages_) notebook_->addWidget(page);

  panel_ = new QWidget(this);
  panel_->setObjectName("Panel1");
  panel_->setGeometry(0, kHeight - kPanelHeight, kWidth, kPanelHeight);
  auto* cancel = new QPushButton("&Cancel", panel_);
  back_ = new QPushButton("&Back", panel_);
  next_ = new QPushButton("&Next", panel_);
  install_button_ = new QPushButton("&Install", panel_);
  cancel->setObjectName("Cancel");
  back_->setObjectName("Back");
  next_->setObjectName("Next");
  install_button_->setObjectName("Install");
  cancel->setGeometry(8, 8, 75, 25);
  back_->setGeometry(180, 8, 75, 25);
  next_->setGeometry(262, 8, 75, 25);
  install_button_->setGeometry(348, 8, 75, 25);
  install_button_->hide();
  for (auto* b : {cancel, back_, next_, install_button_}) b->setAutoDefault(false);

  connect(cancel, &QPushButton::clicked, this, [this] {
    wizard_.cancelClick();
    FinishIfClosed();
  });
  connect(back_, &QPushButton::clicked, this, [this] { wizard_.backClick(); });
  connect(next_, &QPushButton::clicked, this, [this] { wizard_.nextClick(); });
  connect(install_button_, &QPushButton::clicked, this, [this] {
    installing_ = true;
    wizard_.installClick(install_ ? install_ : [](setup::TNolvo&) {});
    installing_ = false;
    FinishIfClosed();
  });

  wizard_.OnChanged = [this] { Refresh(); };
  Refresh();
}

WizardWindow::~WizardWindow() { wizard_.OnChanged = nullptr; }

void WizardWindow::Refresh() {
  const setup::TNolvo& w = wizard_;
  notebook_->setCurrentIndex(w.PageIndex());
  back_->setEnabled(w.Controls().BackEnabled);
  next_->setEnabled(w.Controls().NextEnabled);
  install_button_->setVisible(w.Controls().InstallVisible);
  install_button_->setDefault(w.Controls().InstallVisible);
  next_->setDefault(!w.Controls().InstallVisible && w.Controls().NextEnabled);
  for (WizardPageBase* page : pages_) page->Refresh();
  if (w.Controls().ShrunkToStatus && !shrunk_) ShrinkToStatus();
}

void WizardWindow::ShrinkToStatus() {
  shrunk_ = true;
  panel_->hide();
  setFixedSize(kWidth, kStatusHeight);
  notebook_->setGeometry(0, 0, kWidth, kStatusHeight);
  if (background_) move(x(), background_->height() - 150);
}

void WizardWindow::FinishIfClosed() {
  if (!wizard_.Closed()) return;
  if (wizard_.End() == setup::WizardEnd::weInstalled)
    QDialog::accept();
  else
    QDialog::reject();
}

void WizardWindow::reject() {
  // Escape is Cancel, except while the installation runs.
  if (!wizard_.Closed() && !installing_) wizard_.cancelClick();
  FinishIfClosed();
}

void WizardWindow::closeEvent(QCloseEvent* event) {
  if (installing_) {
    event->ignore();  // the installation closes the window itself
    return;
  }
  if (!wizard_.Closed()) wizard_.closeClick();
  FinishIfClosed();
  event->accept();
}

}  // namespace nolvo::ui
