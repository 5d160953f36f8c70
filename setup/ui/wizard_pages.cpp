#include "setup/ui/wizard_pages.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ui/main_screen_window.h"
#include "app/ui/ui_text.h"

namespace nolvo::ui {

namespace {

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

template <class Widget, class... Args>
Widget* Named(const char* name, Args&&... args) {
  auto* widget = new Widget(std::forward<Args>(args)...);
  widget->setObjectName(name);
  return widget;
}

QPushButton* Button(const char* name, const char* text, QWidget* parent) {
  auto* button = Named<QPushButton>(name, text, parent);
  button->setAutoDefault(false);
  return button;
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

WizardPageBase::WizardPageBase(setup::TNolvo& wizard, const platform::CodePage& codePage,
                               const char* name)
    : wizard_(wizard), codePage_(codePage) {
  setObjectName(name);
}

void WizardPageBase::Refresh() {
  refreshing_ = true;
  Render();
  refreshing_ = false;
}

QString WizardPageBase::A(const std::string& ansi) const { return FromAnsi(codePage_, ansi); }

WelcomePage::WelcomePage(setup::TNolvo& wizard, const platform::CodePage& codePage)
    : WizardPageBase(wizard, codePage, "page1") {
  auto* row = new QHBoxLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(SetupIcon());
  icon->setAlignment(Qt::AlignTop);
  auto* notice = new QPlainTextEdit(kWelcomeText, this);
  notice->setReadOnly(true);
  notice->setFocusPolicy(Qt::NoFocus);
  row->addWidget(icon);
  row->addWidget(notice, 1);
}

LicencePage::LicencePage(setup::TNolvo& wizard, const platform::CodePage& codePage,
                         std::function<void()> afterDecline)
    : WizardPageBase(wizard, codePage, "Page2") {
  auto* col = new QVBoxLayout(this);
  col->setContentsMargins(8, 4, 8, 2);
  col->setSpacing(2);
  auto* hint1 = new QLabel(
      "Click on Accept to continue with install process. pgdn/pgup to view License "
      "information.",
      this);
  hint1->setWordWrap(true);
  memo3_ = Named<QPlainTextEdit>("Memo3", this);
  memo3_->setReadOnly(true);
  auto* hint2 = new QLabel(
      "You must select Accept or Decline to Continue with installation. if you accept "
      "License then click Accept!",
      this);
  hint2->setWordWrap(true);
  auto* decline = Button("Decline", "Decline", this);
  auto* accept = Button("Accept", "Accept", this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(decline);
  buttons->addWidget(accept);
  col->addWidget(hint1);
  col->addWidget(memo3_, 1);
  col->addWidget(hint2);
  col->addLayout(buttons);
  connect(accept, &QPushButton::clicked, this, [this] { wizard_.acceptClick(); });
  connect(decline, &QPushButton::clicked, this, [this, afterDecline] {
    wizard_.declineClick();
    if (afterDecline) afterDecline();
  });
}

void LicencePage::Render() {
  SetLines(memo3_, wizard_.Controls().Memo3, [this](const std::string& s) { return A(s); });
}

DestinationPage::DestinationPage(setup::TNolvo& wizard, const platform::CodePage& codePage,
                                 setup::DirectoryChooser& chooser)
    : WizardPageBase(wizard, codePage, "Page3") {
  auto* col = new QVBoxLayout(this);
  auto* text = new QLabel(kDestinationText, this);
  text->setWordWrap(true);
  auto* group = new QGroupBox(" Destination  Directory ", this);
  auto* row = new QHBoxLayout(group);
  label1_ = Named<QLabel>("Label1", group);
  auto* browse = Button("Browse", "Browse", group);
  row->addWidget(label1_, 1);
  row->addWidget(browse);
  col->addWidget(text);
  col->addStretch();
  col->addWidget(group);
  col->addStretch();
  connect(browse, &QPushButton::clicked, this, [this, &chooser] { wizard_.browseClick(chooser); });
}

void DestinationPage::Render() { label1_->setText(A(wizard_.Controls().Label1)); }

FoldersPage::FoldersPage(setup::TNolvo& wizard, const platform::CodePage& codePage)
    : WizardPageBase(wizard, codePage, "Page4") {
  auto* col = new QVBoxLayout(this);
  col->setContentsMargins(8, 4, 8, 2);
  col->setSpacing(2);
  col->addWidget(Title("Create Folder's and Shortcuts.", this));
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(new QLabel("Main Folder:", this));
  createFolder_ = Named<QLabel>("CreateFolder", this);
  folderRow->addWidget(createFolder_, 1);
  col->addLayout(folderRow);
  auto* checks = new QHBoxLayout;
  checkBox1_ = Named<QCheckBox>("CheckBox1", "Add Folder to Start Menu", this);
  checkBox2_ = Named<QCheckBox>("CheckBox2", "Add Folder to Desktop", this);
  checks->addWidget(checkBox1_);
  checks->addWidget(checkBox2_);
  col->addLayout(checks);
  auto* lists = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  left->addWidget(new QLabel("Add Shortcut to Desktop?", this));
  dk_ = Named<QListWidget>("DK", this);
  left->addWidget(dk_);
  right->addWidget(new QLabel("Add Shortcut to Startmenu?", this));
  sm_ = Named<QListWidget>("SM", this);
  right->addWidget(sm_);
  lists->addLayout(left);
  lists->addLayout(right);
  col->addLayout(lists, 1);

  connect(checkBox1_, &QCheckBox::toggled, this, [this](bool on) {
    if (!Refreshing()) wizard_.SetFolderStartMenu(on);
  });
  connect(checkBox2_, &QCheckBox::toggled, this, [this](bool on) {
    if (!Refreshing()) wizard_.SetFolderDesktop(on);
  });
  BindList(dk_, true);
  BindList(sm_, false);
}

void FoldersPage::BindList(QListWidget* box, bool desktop) {
  connect(box, &QListWidget::itemChanged, this, [this, box, desktop](QListWidgetItem* item) {
    if (Refreshing()) return;
    const int row = box->row(item);
    if (row >= 0)
      wizard_.SetShortcutChecked(desktop, static_cast<std::size_t>(row),
                                 item->checkState() == Qt::Checked);
  });
}

void FoldersPage::Render() {
  auto convert = [this](const std::string& s) { return A(s); };
  createFolder_->setText(A(wizard_.Controls().CreateFolder));
  checkBox1_->setChecked(wizard_.Controls().CheckBox1);
  checkBox2_->setChecked(wizard_.Controls().CheckBox2);
  SetItems(dk_, wizard_.Controls().DK, convert);
  SetItems(sm_, wizard_.Controls().SM, convert);
}

InstallTypePage::InstallTypePage(setup::TNolvo& wizard, const platform::CodePage& codePage)
    : WizardPageBase(wizard, codePage, "installtype") {
  auto* col = new QVBoxLayout(this);
  col->addWidget(Title("What type of install to Execute", this));
  full_ = Named<QRadioButton>("Full", "Full Install ( All Files will be installed )", this);
  min_ = Named<QRadioButton>("Min", "Only Files need to run from Network will be installed", this);
  col->addWidget(full_);
  col->addWidget(min_);
  col->addStretch();
  connect(full_, &QRadioButton::toggled, this, [this](bool on) {
    if (!Refreshing() && on) wizard_.SetMinimum(false);
  });
  connect(min_, &QRadioButton::toggled, this, [this](bool on) {
    if (!Refreshing() && on) wizard_.SetMinimum(true);
  });
}

void InstallTypePage::Render() {
  (wizard_.Controls().MinSelected ? min_ : full_)->setChecked(true);
}

ReadyPage::ReadyPage(setup::TNolvo& wizard, const platform::CodePage& codePage)
    : WizardPageBase(wizard, codePage, "Page5") {
  auto* col = new QVBoxLayout(this);
  col->setContentsMargins(8, 4, 8, 2);
  col->setSpacing(2);
  col->addWidget(Title("Ready to Start Installing Software", this));
  radio1_ = Named<QRadioButton>("RadioButton1", "Launch Program after installed", this);
  label2_ = Named<QLabel>("Label2", "Program to Launch", this);
  radio2_ = Named<QRadioButton>("RadioButton2", "Return to Windows after installed", this);
  reboot_ = Named<QRadioButton>("reboot", "Re Boot Windows After installed", this);
  finishGroup_ = new QButtonGroup(this);
  finishGroup_->addButton(radio1_);
  finishGroup_->addButton(radio2_);
  finishGroup_->addButton(reboot_);
  auto* launchRow = new QHBoxLayout;
  launchRow->addWidget(radio1_);
  launchRow->addWidget(label2_, 1);
  col->addLayout(launchRow);
  col->addWidget(radio2_);
  col->addWidget(reboot_);
  memo4_ = Named<QPlainTextEdit>("Memo4", this);
  memo4_->setReadOnly(true);
  col->addWidget(memo4_, 1);
  auto bind = [this](QRadioButton* button, app::FinishChoice choice) {
    connect(button, &QRadioButton::toggled, this, [this, choice](bool on) {
      if (!Refreshing() && on) wizard_.SelectFinish(choice);
    });
  };
  bind(radio1_, app::FinishChoice::fcLaunch);
  bind(radio2_, app::FinishChoice::fcReturn);
  bind(reboot_, app::FinishChoice::fcReboot);
}

void ReadyPage::Render() {
  const app::FinishChoiceState& finish = wizard_.Controls().Finish;
  label2_->setText(A(wizard_.Controls().Label2));
  radio1_->setEnabled(finish.LaunchEnabled);
  reboot_->setVisible(finish.RebootVisible);
  finishGroup_->setExclusive(false);
  radio1_->setChecked(finish.Selected == app::FinishChoice::fcLaunch);
  radio2_->setChecked(finish.Selected == app::FinishChoice::fcReturn);
  reboot_->setChecked(finish.Selected == app::FinishChoice::fcReboot);
  finishGroup_->setExclusive(true);
  SetLines(memo4_, wizard_.Controls().Memo4, [this](const std::string& s) { return A(s); });
}

ProgressPage::ProgressPage(setup::TNolvo& wizard, const platform::CodePage& codePage)
    : WizardPageBase(wizard, codePage, "install") {
  auto* col = new QVBoxLayout(this);
  source_ = Named<QLabel>("source", this);
  dest_ = Named<QLabel>("Dest", this);
  progress_ = Named<QProgressBar>("ProgressBar1", this);
  progress_->setTextVisible(false);
  col->addWidget(source_);
  col->addWidget(dest_);
  col->addWidget(progress_);
  col->addStretch();
}

void ProgressPage::Render() {
  source_->setText(A(wizard_.Controls().SourceText));
  dest_->setText(A(wizard_.Controls().DestText));
  const int max = std::max(wizard_.Controls().ProgressMax, 0);
  progress_->setRange(0, max);
  progress_->setValue(std::clamp(wizard_.Controls().ProgressPosition, 0, max));
}

}  // namespace nolvo::ui
