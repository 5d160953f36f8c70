// The wizard window and the directory chooser with real widgets: page flow by clicking,
// check lists written back, Escape as Cancel, Browse through the chooser.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include "app/settings_loader.h"
#include "app/ui/find_widget.h"
#include "app/ui/tests/gui_app.h"
#include "platform/profile_text.h"
#include "setup/ui/directory_chooser_dialog.h"
#include "setup/ui/wizard_window.h"
#include "testing/scripted_dialogs.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_machine.h"

namespace nolvo::ui {
namespace {

namespace fs = std::filesystem;

const char* kCfg =
    "[Setup - Main]\nFolder=Tools\nWork Station Prompt=1\nInstall Dir=App\n"
    "Add to Program Files=1\nLaunch=<INSTALLDIR>a.exe\n"
    "[Desktop]\nA=Editor~<INSTALLDIR>bin\\ed.exe~X~X~<INSTALLDIR>ed.ico~Tools\n"
    "B=Help~<INSTALLDIR>help.exe~~X~<INSTALLDIR>h.ico~Tools\n";

// A wizard window over settings loaded from `cfg`, with an optional licence file.
class WizardFixture {
 public:
  explicit WizardFixture(const std::string& cfg, const std::string& licence = "")
      : loaded_(app::LoadSettings(platform::ProfileReader(platform::ProfileText::Parse(cfg)))),
        wizard_(loaded_.Settings, dialogs_, pump_),
        chooser_(tm_.Machine()) {
    state_ = {"C:\\MEDIA\\", "C:\\WINDOWS\\Temp\\q", "C:\\", ""};
    fs::create_directories(tm_.DriveC() / "WINDOWS" / "Temp" / "q");
    if (!licence.empty()) test::WriteBytes(tm_.DriveC() / "WINDOWS/Temp/q/license.txt", licence);
    wizard_.ApplyPreset(loaded_.Wizard);
    wizard_.FormShow(tm_.Machine(), state_);
    window_ = std::make_unique<WizardWindow>(wizard_, tm_.Machine().Codepage(), chooser_);
    window_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }

  setup::TNolvo& W() { return wizard_; }
  WizardWindow& Win() { return *window_; }
  testing::ScriptedDialogs& Dialogs() { return dialogs_; }
  test::TestMachine& Tm() { return tm_; }
  int Page() const { return Find<QStackedWidget>(*window_, "Notebook1")->currentIndex(); }
  // Clicks near the left edge, where a check or radio button's indicator is.
  void Click(QAbstractButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
  }

 private:
  // The application exists before the first widget member is made.
  struct AppFirst {
    AppFirst() { test::GuiApp(); }
  } app_;
  test::TestMachine tm_;
  app::LoadResult loaded_;
  testing::ScriptedDialogs dialogs_;
  platform::NullMessagePump pump_;
  app::StartupState state_;
  setup::TNolvo wizard_;
  DirectoryChooserDialog chooser_;
  std::unique_ptr<WizardWindow> window_;
};

TEST(WizardWindow, PageFlowByClickingFollowsTheWizard) {
  WizardFixture f(kCfg, "line one\r\nline two\r\n");
  auto& win = f.Win();
  EXPECT_EQ(win.windowTitle(), "Nolvo32 - Setup");
  EXPECT_EQ(win.size(), QSize(433, 263));
  EXPECT_EQ(f.Page(), setup::kPageWelcome);
  EXPECT_FALSE(Find<QPushButton>(win, "Back")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>(win, "Install")->isVisible());

  f.Click(Find<QPushButton>(win, "Next"));
  EXPECT_EQ(f.Page(), setup::kPageLicence);
  EXPECT_EQ(Find<QPlainTextEdit>(win, "Memo3")->toPlainText(), "line one\nline two");
  EXPECT_FALSE(Find<QPushButton>(win, "Next")->isEnabled());
  f.Click(Find<QPushButton>(win, "Accept"));
  EXPECT_EQ(f.Page(), setup::kPageDestination);
  EXPECT_EQ(Find<QLabel>(win, "Label1")->text(), "C:\\Program Files\\App");
  f.Click(Find<QPushButton>(win, "Next"));
  ASSERT_EQ(f.Page(), setup::kPageFolders);
  EXPECT_EQ(Find<QLabel>(win, "CreateFolder")->text(), "Tools");
  ASSERT_EQ(Find<QListWidget>(win, "DK")->count(), 1);
  ASSERT_EQ(Find<QListWidget>(win, "SM")->count(), 2);
  EXPECT_EQ(Find<QListWidget>(win, "SM")->item(1)->text(), "Help");
  EXPECT_EQ(Find<QListWidget>(win, "SM")->item(1)->checkState(), Qt::Checked);

  // Unchecking an item and ticking a folder box reach the wizard.
  Find<QListWidget>(win, "SM")->item(1)->setCheckState(Qt::Unchecked);
  EXPECT_FALSE(f.W().Controls().SM[1].Checked);
  EXPECT_TRUE(f.W().Controls().SM[0].Checked);
  f.Click(Find<QCheckBox>(win, "CheckBox1"));
  EXPECT_TRUE(f.W().Controls().CheckBox1);

  f.Click(Find<QPushButton>(win, "Next"));
  EXPECT_EQ(f.Page(), setup::kPageInstallType);
  EXPECT_TRUE(Find<QRadioButton>(win, "Min")->isChecked());  // Work Station Prompt=1 preselects min
  f.Click(Find<QRadioButton>(win, "Full"));
  EXPECT_FALSE(f.W().Controls().MinSelected);
  f.Click(Find<QPushButton>(win, "Next"));
  EXPECT_EQ(f.Page(), setup::kPageReady);
  EXPECT_TRUE(Find<QPushButton>(win, "Install")->isVisible());
  EXPECT_FALSE(Find<QPushButton>(win, "Next")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>(win, "Install")->isDefault());
  EXPECT_EQ(Find<QLabel>(win, "Label2")->text(), "a.exe");
  EXPECT_TRUE(Find<QPlainTextEdit>(win, "Memo4")
                  ->toPlainText()
                  .contains("Install to:\n  C:\\Program Files\\App"));
  f.Click(Find<QRadioButton>(win, "RadioButton2"));
  EXPECT_EQ(f.W().Controls().Finish.Selected, app::FinishChoice::fcReturn);

  // Back to the folders page rebuilds the lists, every item checked again.
  f.Click(Find<QPushButton>(win, "Back"));
  EXPECT_EQ(f.Page(), setup::kPageInstallType);
  f.Click(Find<QPushButton>(win, "Back"));
  EXPECT_EQ(f.Page(), setup::kPageFolders);
  EXPECT_EQ(Find<QListWidget>(win, "SM")->item(1)->checkState(), Qt::Checked);
  EXPECT_FALSE(Find<QPushButton>(win, "Install")->isVisible());
}

TEST(WizardWindow, InstallRunsTheEngineAndShrinksToTheStatusWindow) {
  WizardFixture f("[Setup - Main]\nFolder=\nWork Station Prompt=0\n");
  auto& win = f.Win();
  int ran = 0;
  QSize sizeDuringInstall;
  win.SetInstall([&](setup::TNolvo& w) {
    ++ran;
    EXPECT_EQ(w.PageIndex(), setup::kPageProgress);
    w.Edit().ShrunkToStatus = true;
    w.Edit().SourceText = "Copying a.exe";
    w.Edit().ProgressMax = 4;
    w.Edit().ProgressPosition = 3;
    w.OnChanged();
    sizeDuringInstall = win.size();
    EXPECT_FALSE(Find<QWidget>(win, "Panel1")->isVisible());
    EXPECT_EQ(Find<QLabel>(win, "source")->text(), "Copying a.exe");
    EXPECT_EQ(Find<QProgressBar>(win, "ProgressBar1")->value(), 3);
    // Escape does not cancel a running installation.
    QTest::keyClick(&win, Qt::Key_Escape);
    EXPECT_FALSE(w.Closed());
    w.CloseAfterInstall();
  });
  f.Click(Find<QPushButton>(win, "Next"));  // no licence: straight to the destination page
  EXPECT_EQ(f.Page(), setup::kPageDestination);
  f.Click(Find<QPushButton>(win, "Next"));  // no folder, no install type: the ready page
  EXPECT_EQ(f.Page(), setup::kPageReady);
  f.Click(Find<QPushButton>(win, "Install"));
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(sizeDuringInstall, QSize(433, 120));
  EXPECT_EQ(f.W().End(), setup::WizardEnd::weInstalled);
  EXPECT_EQ(win.result(), QDialog::Accepted);
  EXPECT_FALSE(win.isVisible());
}

TEST(WizardWindow, EscapeCancelsAndClearsTheRebootChoice) {
  WizardFixture f("[Setup - Main]\nShow Reboot=1\nLaunch=\n");
  ASSERT_TRUE(f.W().RebootSelected());
  EXPECT_TRUE(Find<QRadioButton>(f.Win(), "reboot")->isChecked());
  QTest::keyClick(&f.Win(), Qt::Key_Escape);
  EXPECT_EQ(f.W().End(), setup::WizardEnd::weCancelled);
  EXPECT_FALSE(f.W().RebootSelected());
  EXPECT_FALSE(f.Win().isVisible());
}

TEST(WizardWindow, TheCloseBoxBeforeInstallIsCancel) {
  WizardFixture f("[Setup - Main]\nShow Reboot=1\nLaunch=\n");
  ASSERT_TRUE(f.W().RebootSelected());
  f.Win().close();
  EXPECT_EQ(f.W().End(), setup::WizardEnd::weClosed);
  EXPECT_FALSE(f.W().RebootSelected());
  EXPECT_FALSE(f.Win().isVisible());
}

TEST(WizardWindow, DeclineEndsTheSetup) {
  WizardFixture f(kCfg, "a\nb\n");
  f.Click(Find<QPushButton>(f.Win(), "Next"));
  f.Click(Find<QPushButton>(f.Win(), "Decline"));
  EXPECT_EQ(f.W().End(), setup::WizardEnd::weDeclined);
  EXPECT_FALSE(f.Win().isVisible());
}

TEST(WizardWindow, BrowseAsksBeforeTakingANewDirectory) {
  WizardFixture f(kCfg);
  f.Click(Find<QPushButton>(f.Win(), "Next"));
  ASSERT_EQ(f.Page(), setup::kPageDestination);
  f.Dialogs().OnMessage(platform::DialogResult::idYes,
                        "Create New Directory for Installation [D:\\Games\\New] ?");
  QWidget* seen = nullptr;
  QTimer::singleShot(0, [&] {
    seen = QApplication::activeModalWidget();
    auto* chooser = dynamic_cast<DirectoryChooserDialog*>(seen);
    ASSERT_NE(chooser, nullptr);
    // The destination does not exist: it stays in the box as given.
    EXPECT_EQ(chooser->Edit1()->text(), "C:\\Program Files\\App");
    chooser->Edit1()->setText("D:\\Games\\New");
    QTest::mouseClick(chooser->BitBtn1(), Qt::LeftButton);
  });
  f.Click(Find<QPushButton>(f.Win(), "Browse"));
  EXPECT_NE(seen, nullptr);
  EXPECT_EQ(Find<QLabel>(f.Win(), "Label1")->text(), "D:\\Games\\New");
  f.Dialogs().Verify();
}

TEST(DirectoryChooser, ShowsExistingDirectoriesAndOpensThem) {
  test::GuiApp();
  test::TestMachine tm;
  fs::create_directories(tm.DriveC() / "Apps" / "One");
  fs::create_directories(tm.DriveC() / "Apps" / "two");
  fs::create_directories(tm.DriveC() / "Apps" / "Three");
  DirectoryChooserDialog chooser(tm.Machine());
  EXPECT_EQ(chooser.windowTitle(), "Select Directory");
  EXPECT_EQ(chooser.size(), QSize(238, 296));
  EXPECT_TRUE(chooser.BitBtn1()->isDefault());
  const std::vector<char> drives = chooser.Drives();
  EXPECT_NE(std::find(drives.begin(), drives.end(), 'c'), drives.end());

  chooser.Edit1()->setText("c:\\apps");
  chooser.FormShow();
  EXPECT_EQ(chooser.Directory(), "c:\\apps");
  EXPECT_EQ(chooser.Edit1()->text(), "c:\\apps");
  // Root, the directory itself, then its children sorted without case.
  QStringList rows;
  for (int i = 0; i < chooser.DirectoryListBox1()->count(); ++i)
    rows << chooser.DirectoryListBox1()->item(i)->text().trimmed();
  EXPECT_EQ(rows, QStringList({"c:\\", "apps", "One", "Three", "two"}));

  // A double click opens a child, then the root again.
  QListWidget* list = chooser.DirectoryListBox1();
  chooser.OpenItem(3);
  EXPECT_EQ(chooser.Edit1()->text(), "c:\\apps\\Three");
  chooser.OpenItem(0);
  EXPECT_EQ(chooser.Edit1()->text(), "c:\\");
  EXPECT_GT(list->count(), 1);

  // A missing path stays as given; a typed path is returned as typed.
  chooser.Edit1()->setText("C:\\Nowhere\\Yet");
  chooser.FormShow();
  EXPECT_EQ(chooser.Edit1()->text(), "C:\\Nowhere\\Yet");
  EXPECT_EQ(chooser.Directory(), "c:\\");

  // Another drive shows its root.
  fs::create_directories(tm.Root() / "dee");
  ASSERT_TRUE(tm.Machine().MapDrive('d', tm.Root() / "dee").ok());
  DirectoryChooserDialog again(tm.Machine());
  again.ChooseDrive('d');
  EXPECT_EQ(again.Edit1()->text(), "D:\\");
}

TEST(DirectoryChooser, CancelKeepsThePath) {
  test::GuiApp();
  test::TestMachine tm;
  DirectoryChooserDialog chooser(tm.Machine());
  std::string path = "C:\\Keep";
  QTimer::singleShot(0, [&] {
    chooser.Edit1()->setText("C:\\Other");
    QTest::keyClick(&chooser, Qt::Key_Escape);
  });
  EXPECT_FALSE(chooser.Choose(path));
  EXPECT_EQ(path, "C:\\Keep");
}

}  // namespace
}  // namespace nolvo::ui
