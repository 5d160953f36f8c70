#include "setup/ui/wizard_window.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/ui/main_screen_window.h"
#include "app/ui/ui_text.h"

namespace nolvo::ui {

namespace {

constexpr int kWidth = 433;
constexpr int kHeight = 263;
constexpr int kPanelHeight = 41;
constexpr int kStatusHeight = 120;

const char* kWelcomeText =
    "Please close all other Windows programs before running this setup program.\n\n"
    "Click Cancel to quit the setup, or Next to go on with the installation.\n\n"
    "WARNING: this program is protected by copyright law. Unauthorised reproduction or "
    "distribution of this program, or of any part of it, is not allowed.";

const char* kDestinationText =
    "Setup will install the program into the directory below. To install into another "
    "directory, click Browse and choose or type one; a directory that does not exist yet "
    "is created during the installation.";

QLabel* Title(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
  return label;
}

void SetLines(QPlainTextEdit* memo, const std::vector<std::string>& lines,
              const std::function<QString(const std::string&)>& convert) {
  QStringList list;
  for (const auto& l : lines) list << convert(l);
  const QString text = list.join('\n');
  if (memo->toPlainText() != text) memo->setPlainText(text);
}

void SetItems(QListWidget* box, const std::vector<setup::CheckItem>& items,
              const std::function<QString(const std::string&)>& convert) {
  if (box->count() != static_cast<int>(items.size())) {
    box->clear();
    for (std::size_t i = 0; i < items.size(); ++i) {
      auto* item = new QListWidgetItem(box);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    }
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    QListWidgetItem* item = box->item(static_cast<int>(i));
    item->setText(convert(items[i].Name));
    item->setCheckState(items[i].Checked ? Qt::Checked : Qt::Unchecked);
  }
}

}  // namespace

WizardWindow::WizardWindow(setup::TNolvo& wizard, const platform::CodePage& codePage,
                           setup::DirectoryChooser& chooser, QWidget* background)
    : QDialog(background, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint),
      wizard_(wizard),
      codePage_(codePage),
      chooser_(chooser),
      background_(background) {
  setObjectName("Nolvo");
  setWindowTitle("Nolvo32 - Setup");
  setFont(DefaultFont());
  setFixedSize(kWidth, kHeight);
  setModal(true);

  notebook_ = new QStackedWidget(this);
  notebook_->setObjectName("Notebook1");
  notebook_->setGeometry(0, 0, kWidth, kHeight - kPanelHeight);
  notebook_->addWidget(BuildWelcome());
  notebook_->addWidget(BuildLicence());
  notebook_->addWidget(BuildDestination());
  notebook_->addWidget(BuildFolders());
  notebook_->addWidget(BuildInstallType());
  notebook_->addWidget(BuildReady());
  notebook_->addWidget(BuildProgress());

  panel_ = new QWidget(this);
  panel_->setObjectName("Panel1");
  panel_->setGeometry(0, kHeight - kPanelHeight, kWidth, kPanelHeight);
  cancel_ = new QPushButton("&Cancel", panel_);
  back_ = new QPushButton("&Back", panel_);
  next_ = new QPushButton("&Next", panel_);
  install_button_ = new QPushButton("&Install", panel_);
  cancel_->setGeometry(8, 8, 75, 25);
  back_->setGeometry(180, 8, 75, 25);
  next_->setGeometry(262, 8, 75, 25);
  install_button_->setGeometry(348, 8, 75, 25);
  install_button_->hide();
  for (auto* b : {cancel_, back_, next_, install_button_}) b->setAutoDefault(false);

  connect(cancel_, &QPushButton::clicked, this, [this] {
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

QString WizardWindow::A(const std::string& ansi) const { return FromAnsi(codePage_, ansi); }

QWidget* WizardWindow::BuildWelcome() {
  auto* page = new QWidget;
  page->setObjectName("page1");
  auto* row = new QHBoxLayout(page);
  auto* icon = new QLabel(page);
  icon->setPixmap(SetupIcon());
  icon->setAlignment(Qt::AlignTop);
  auto* notice = new QPlainTextEdit(kWelcomeText, page);
  notice->setReadOnly(true);
  notice->setFocusPolicy(Qt::NoFocus);
  row->addWidget(icon);
  row->addWidget(notice, 1);
  return page;
}

QWidget* WizardWindow::BuildLicence() {
  auto* page = new QWidget;
  page->setObjectName("Page2");
  auto* col = new QVBoxLayout(page);
  col->setContentsMargins(8, 4, 8, 2);
  col->setSpacing(2);
  auto* hint1 = new QLabel(
      "Click on Accept to continue with install process. pgdn/pgup to view License "
      "information.",
      page);
  hint1->setWordWrap(true);
  memo3_ = new QPlainTextEdit(page);
  memo3_->setObjectName("Memo3");
  memo3_->setReadOnly(true);
  auto* hint2 = new QLabel(
      "You must select Accept or Decline to Continue with installation. if you accept "
      "License then click Accept!",
      page);
  hint2->setWordWrap(true);
  decline_ = new QPushButton("Decline", page);
  accept_ = new QPushButton("Accept", page);
  decline_->setAutoDefault(false);
  accept_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(decline_);
  buttons->addWidget(accept_);
  col->addWidget(hint1);
  col->addWidget(memo3_, 1);
  col->addWidget(hint2);
  col->addLayout(buttons);
  connect(accept_, &QPushButton::clicked, this, [this] { wizard_.acceptClick(); });
  connect(decline_, &QPushButton::clicked, this, [this] {
    wizard_.declineClick();
    FinishIfClosed();
  });
  return page;
}

QWidget* WizardWindow::BuildDestination() {
  auto* page = new QWidget;
  page->setObjectName("Page3");
  auto* col = new QVBoxLayout(page);
  auto* text = new QLabel(kDestinationText, page);
  text->setWordWrap(true);
  auto* group = new QGroupBox(" Destination  Directory ", page);
  auto* row = new QHBoxLayout(group);
  label1_ = new QLabel(group);
  label1_->setObjectName("Label1");
  browse_ = new QPushButton("Browse", group);
  browse_->setAutoDefault(false);
  row->addWidget(label1_, 1);
  row->addWidget(browse_);
  col->addWidget(text);
  col->addStretch();
  col->addWidget(group);
  col->addStretch();
  connect(browse_, &QPushButton::clicked, this, [this] { wizard_.browseClick(chooser_); });
  return page;
}

QWidget* WizardWindow::BuildFolders() {
  auto* page = new QWidget;
  page->setObjectName("Page4");
  auto* col = new QVBoxLayout(page);
  col->setContentsMargins(8, 4, 8, 2);
  col->setSpacing(2);
  col->addWidget(Title("Create Folder's and Shortcuts.", page));
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(new QLabel("Main Folder:", page));
  createFolder_ = new QLabel(page);
  createFolder_->setObjectName("CreateFolder");
  folderRow->addWidget(createFolder_, 1);
  col->addLayout(folderRow);
  auto* checks = new QHBoxLayout;
  checkBox1_ = new QCheckBox("Add Folder to Start Menu", page);
  checkBox2_ = new QCheckBox("Add Folder to Desktop", page);
  checks->addWidget(checkBox1_);
  checks->addWidget(checkBox2_);
  col->addLayout(checks);
  auto* lists = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  left->addWidget(new QLabel("Add Shortcut to Desktop?", page));
  dk_ = new QListWidget(page);
  dk_->setObjectName("DK");
  left->addWidget(dk_);
  right->addWidget(new QLabel("Add Shortcut to Startmenu?", page));
  sm_ = new QListWidget(page);
  sm_->setObjectName("SM");
  right->addWidget(sm_);
  lists->addLayout(left);
  lists->addLayout(right);
  col->addLayout(lists, 1);

  connect(checkBox1_, &QCheckBox::toggled, this, [this](bool on) {
    if (!refreshing_) wizard_.CheckBox1 = on;
  });
  connect(checkBox2_, &QCheckBox::toggled, this, [this](bool on) {
    if (!refreshing_) wizard_.CheckBox2 = on;
  });
  auto bindList = [this](QListWidget* box, std::vector<setup::CheckItem>& items) {
    connect(box, &QListWidget::itemChanged, this, [this, box, &items](QListWidgetItem* item) {
      if (refreshing_) return;
      const int row = box->row(item);
      if (row >= 0 && row < static_cast<int>(items.size()))
        items[static_cast<std::size_t>(row)].Checked = item->checkState() == Qt::Checked;
    });
  };
  bindList(dk_, wizard_.DK);
  bindList(sm_, wizard_.SM);
  return page;
}

QWidget* WizardWindow::BuildInstallType() {
  auto* page = new QWidget;
  page->setObjectName("installtype");
  auto* col = new QVBoxLayout(page);
  col->addWidget(Title("What type of install to Execute", page));
  full_ = new QRadioButton("Full Install ( All Files will be installed )", page);
  min_ = new QRadioButton("Only Files need to run from Network will be installed", page);
  col->addWidget(full_);
  col->addWidget(min_);
  col->addStretch();
  connect(full_, &QRadioButton::toggled, this, [this](bool on) {
    if (!refreshing_ && on) wizard_.MinSelected = false;
  });
  connect(min_, &QRadioButton::toggled, this, [this](bool on) {
    if (!refreshing_ && on) wizard_.MinSelected = true;
  });
  return page;
}

QWidget* WizardWindow::BuildReady() {
  auto* page = new QWidget;
  page->setObjectName("Page5");
  auto* col = new QVBoxLayout(page);
  col->setContentsMargins(8, 4, 8, 2);
  col->setSpacing(2);
  col->addWidget(Title("Ready to Start Installing Software", page));
  radio1_ = new QRadioButton("Launch Program after installed", page);
  label2_ = new QLabel("Program to Launch", page);
  label2_->setObjectName("Label2");
  radio2_ = new QRadioButton("Return to Windows after installed", page);
  reboot_ = new QRadioButton("Re Boot Windows After installed", page);
  reboot_->setObjectName("reboot");
  finishGroup_ = new QButtonGroup(page);
  finishGroup_->addButton(radio1_);
  finishGroup_->addButton(radio2_);
  finishGroup_->addButton(reboot_);
  auto* launchRow = new QHBoxLayout;
  launchRow->addWidget(radio1_);
  launchRow->addWidget(label2_, 1);
  col->addLayout(launchRow);
  col->addWidget(radio2_);
  col->addWidget(reboot_);
  memo4_ = new QPlainTextEdit(page);
  memo4_->setObjectName("Memo4");
  memo4_->setReadOnly(true);
  col->addWidget(memo4_, 1);
  auto bind = [this](QRadioButton* button, app::FinishChoice choice) {
    connect(button, &QRadioButton::toggled, this, [this, choice](bool on) {
      if (!refreshing_ && on) wizard_.SelectFinish(choice);
    });
  };
  bind(radio1_, app::FinishChoice::fcLaunch);
  bind(radio2_, app::FinishChoice::fcReturn);
  bind(reboot_, app::FinishChoice::fcReboot);
  return page;
}

QWidget* WizardWindow::BuildProgress() {
  auto* page = new QWidget;
  page->setObjectName("install");
  auto* col = new QVBoxLayout(page);
  source_ = new QLabel(page);
  source_->setObjectName("source");
  dest_ = new QLabel(page);
  dest_->setObjectName("Dest");
  progress_ = new QProgressBar(page);
  progress_->setObjectName("ProgressBar1");
  progress_->setTextVisible(false);
  col->addWidget(source_);
  col->addWidget(dest_);
  col->addWidget(progress_);
  col->addStretch();
  return page;
}

void WizardWindow::Refresh() {
  refreshing_ = true;
  const setup::TNolvo& w = wizard_;
  auto convert = [this](const std::string& s) { return A(s); };
  notebook_->setCurrentIndex(w.PageIndex());

  back_->setEnabled(w.BackEnabled);
  next_->setEnabled(w.NextEnabled);
  install_button_->setVisible(w.InstallVisible);
  install_button_->setDefault(w.InstallVisible);
  next_->setDefault(!w.InstallVisible && w.NextEnabled);

  SetLines(memo3_, w.Memo3, convert);
  label1_->setText(A(w.Label1));
  createFolder_->setText(A(w.CreateFolder));
  checkBox1_->setChecked(w.CheckBox1);
  checkBox2_->setChecked(w.CheckBox2);
  SetItems(dk_, w.DK, convert);
  SetItems(sm_, w.SM, convert);
  (w.MinSelected ? min_ : full_)->setChecked(true);

  label2_->setText(A(w.Label2));
  radio1_->setEnabled(w.Finish.LaunchEnabled);
  reboot_->setVisible(w.Finish.RebootVisible);
  finishGroup_->setExclusive(false);
  radio1_->setChecked(w.Finish.Selected == app::FinishChoice::fcLaunch);
  radio2_->setChecked(w.Finish.Selected == app::FinishChoice::fcReturn);
  reboot_->setChecked(w.Finish.Selected == app::FinishChoice::fcReboot);
  finishGroup_->setExclusive(true);
  SetLines(memo4_, w.Memo4, convert);

  source_->setText(A(w.SourceText));
  dest_->setText(A(w.DestText));
  progress_->setRange(0, std::max(w.ProgressMax, 0));
  progress_->setValue(std::clamp(w.ProgressPosition, 0, std::max(w.ProgressMax, 0)));
  if (w.ShrunkToStatus && !shrunk_) ShrinkToStatus();
  refreshing_ = false;
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
