#include "setup/wizard.h"

#include <gtest/gtest.h>

#include "app/settings_loader.h"
#include "testing/scripted_dialogs.h"
#include "tests/support/test_machine.h"

namespace nolvo::setup {
namespace {

namespace fs = std::filesystem;

// A wizard over settings loaded from `cfg`, shown with an optional licence file.
class WizardRun {
 public:
  WizardRun(const std::string& cfg, const std::string& licence = "")
      : result_(app::LoadSettings(platform::ProfileReader(platform::ProfileText::Parse(cfg)))),
        wizard_(result_.Settings, dialogs_, pump_) {
    state_ = {"C:\\MEDIA\\", "C:\\WINDOWS\\Temp\\q", "C:\\", ""};
    const fs::path tempq = tm_.Machine().Resolve("C:\\WINDOWS").host / "Temp" / "q";
    fs::create_directories(tempq);
    if (!licence.empty()) test::WriteBytes(tempq / "license.txt", licence);
    wizard_.ApplyPreset(result_.Wizard);
    wizard_.FormShow(tm_.Machine(), state_);
  }
  TNolvo& W() { return wizard_; }
  testing::ScriptedDialogs& Dialogs() { return dialogs_; }

 private:
  test::TestMachine tm_;
  app::LoadResult result_;
  testing::ScriptedDialogs dialogs_;
  testing::CountingMessagePump pump_;
  app::StartupState state_;
  TNolvo wizard_;
};

const char* kDesktop =
    "[Desktop]\nA=Editor~<INSTALLDIR>bin\\ed.exe~X~~<INSTALLDIR>ed.ico~Tools\n"
    "B=Help~<INSTALLDIR>help.exe~~X~<INSTALLDIR>h.ico~Tools\n"
    "C=Quiet~<INSTALLDIR>q.exe~~~<INSTALLDIR>q.ico~Tools\n";

TEST(Wizard, FullPageFlowWithLicenceFolderAndInstallType) {
  WizardRun run(std::string("[Setup - Main]\nFolder=Tools\nWork Station Prompt=1\n"
                            "Install Dir=App\nAdd to Program Files=1\nLaunch=<INSTALLDIR>a.exe\n") +
                    kDesktop,
                "line one\r\nline two\r\n");
  auto& w = run.W();
  EXPECT_EQ(w.Controls().Label1, "C:\\Program Files\\App");
  EXPECT_TRUE(w.Controls().MinSelected);
  EXPECT_EQ(w.PageIndex(), kPageWelcome);
  EXPECT_FALSE(w.Controls().BackEnabled);
  w.nextClick();
  EXPECT_EQ(w.PageIndex(), kPageLicence);
  EXPECT_FALSE(w.Controls().NextEnabled);
  EXPECT_TRUE(w.Controls().BackEnabled);
  w.acceptClick();
  EXPECT_EQ(w.PageIndex(), kPageDestination);
  w.nextClick();
  EXPECT_EQ(w.PageIndex(), kPageFolders);
  w.nextClick();
  EXPECT_EQ(w.PageIndex(), kPageInstallType);
  w.nextClick();
  EXPECT_EQ(w.PageIndex(), kPageReady);
  EXPECT_TRUE(w.Controls().InstallVisible);
  EXPECT_FALSE(w.Controls().NextEnabled);
  EXPECT_EQ(w.Controls().Label2, "a.exe");
  // Back walks the same way home.
  for (int expected : {kPageInstallType, kPageFolders, kPageDestination, kPageLicence}) {
    w.backClick();
    EXPECT_EQ(w.PageIndex(), expected);
    EXPECT_FALSE(w.Controls().InstallVisible);
  }
  EXPECT_FALSE(w.Controls().NextEnabled);  // the licence must be accepted again
  w.backClick();
  EXPECT_EQ(w.PageIndex(), kPageWelcome);
  // Back enables itself after the page change, so it stays enabled here; on the welcome
  // page it does nothing.
  EXPECT_TRUE(w.Controls().BackEnabled);
  w.backClick();
  EXPECT_EQ(w.PageIndex(), kPageWelcome);
}

TEST(Wizard, SkipsWithoutLicenceFolderOrInstallType) {
  WizardRun run(std::string("[Setup - Main]\nFolder=\n") + kDesktop);
  auto& w = run.W();
  w.nextClick();
  EXPECT_EQ(w.PageIndex(), kPageDestination);  // no licence: page 1 skipped
  w.nextClick();
  EXPECT_EQ(w.PageIndex(), kPageReady);
  EXPECT_TRUE(w.Controls().InstallVisible);
  // The lists were rebuilt on the way through page 3.
  ASSERT_EQ(w.Controls().DK.size(), 1u);
  EXPECT_EQ(w.Controls().DK[0].Name, "Editor");
  ASSERT_EQ(w.Controls().SM.size(), 1u);
  EXPECT_EQ(w.Controls().SM[0].Name, "Help");
  EXPECT_EQ(w.Controls().Memo4.back(), "  q.exe / Tools");
  EXPECT_EQ(w.Controls().Memo4[5], "  bin\\ed.exe / Tools / Desktop");
  EXPECT_EQ(w.Controls().Memo4[6], "  help.exe / Tools / Start Meuu");
  w.backClick();
  EXPECT_EQ(w.PageIndex(), kPageDestination);
  w.backClick();
  EXPECT_EQ(w.PageIndex(), kPageWelcome);
}

TEST(Wizard, ArrivingAtTheFoldersPageChecksEveryItemAgain) {
  WizardRun run(std::string("[Setup - Main]\nFolder=Tools\n") + kDesktop);
  auto& w = run.W();
  w.nextClick();
  w.nextClick();
  ASSERT_EQ(w.PageIndex(), kPageFolders);
  w.Edit().DK[0].Checked = false;
  w.nextClick();
  EXPECT_EQ(w.PageIndex(), kPageReady);
  EXPECT_FALSE(w.Controls().DK[0].Checked);
  w.backClick();
  EXPECT_EQ(w.PageIndex(), kPageFolders);
  EXPECT_TRUE(w.Controls().DK[0].Checked);
}

TEST(Wizard, WarningScreenOffOpensOnAnEmptyLicencePage) {
  WizardRun run("[Setup - Main]\nShow Warning Screen=0\n");
  auto& w = run.W();
  EXPECT_EQ(w.PageIndex(), kPageLicence);
  EXPECT_FALSE(w.Controls().NextEnabled);
  EXPECT_TRUE(w.Controls().Memo3.empty());
  w.acceptClick();
  EXPECT_EQ(w.PageIndex(), kPageDestination);
}

TEST(Wizard, CancelDeclineAndTheCloseBoxBeforeInstallClearTheRebootChoice) {
  {
    WizardRun run("[Setup - Main]\n");
    ASSERT_TRUE(run.W().RebootSelected());
    run.W().cancelClick();
    EXPECT_FALSE(run.W().RebootSelected());
    EXPECT_EQ(run.W().End(), WizardEnd::weCancelled);
  }
  {
    WizardRun run("[Setup - Main]\n", "a\nb\n");
    run.W().nextClick();
    run.W().declineClick();
    EXPECT_FALSE(run.W().RebootSelected());
    EXPECT_EQ(run.W().End(), WizardEnd::weDeclined);
  }
  {
    WizardRun run("[Setup - Main]\n");
    run.W().closeClick();
    EXPECT_FALSE(run.W().RebootSelected());
    EXPECT_EQ(run.W().End(), WizardEnd::weClosed);
  }
  // Once the installation ran, the close box keeps what was chosen.
  WizardRun run("[Setup - Main]\n");
  run.W().installClick([](TNolvo&) {});
  run.W().closeClick();
  EXPECT_TRUE(run.W().RebootSelected());
  // Disabled or hidden choices cannot be clicked.
  WizardRun hidden("[Setup - Main]\nShow Re-Boot=0\n");
  hidden.W().SelectFinish(app::FinishChoice::fcReboot);
  hidden.W().SelectFinish(app::FinishChoice::fcLaunch);
  EXPECT_EQ(hidden.W().Controls().Finish.Selected, app::FinishChoice::fcReturn);
}

class FixedChooser : public DirectoryChooser {
 public:
  FixedChooser(bool ok, std::string path) : ok_(ok), path_(std::move(path)) {}
  bool Choose(std::string& path) override {
    shown = path;
    path = path_;
    return ok_;
  }
  std::string shown;

 private:
  bool ok_;
  std::string path_;
};

TEST(Wizard, BrowseConfirmsANewDirectoryOnly) {
  WizardRun run("[Setup - Main]\nInstall Dir=App\n");
  auto& w = run.W();
  FixedChooser same(true, "C:\\App");
  w.browseClick(same);  // same path: nothing asked
  EXPECT_EQ(same.shown, "C:\\App");
  FixedChooser cancelled(false, "D:\\X");
  w.browseClick(cancelled);
  EXPECT_EQ(w.Controls().Label1, "C:\\App");
  run.Dialogs().OnMessage(platform::DialogResult::idNo,
                          "Create New Directory for Installation [D:\\Other] ?");
  FixedChooser other(true, "D:\\Other");
  w.browseClick(other);
  EXPECT_EQ(w.Controls().Label1, "C:\\App");
  run.Dialogs().OnMessage(platform::DialogResult::idYes);
  w.browseClick(other);
  EXPECT_EQ(w.Controls().Label1, "D:\\Other");
  run.Dialogs().Verify();
}

TEST(Wizard, InstallCopiesTheFolderChoicesAndRunsTheEngine) {
  WizardRun run("[Setup - Main]\nFolder=Tools\n");
  auto& w = run.W();
  w.Edit().CheckBox1 = true;
  int ran = 0;
  w.installClick([&](TNolvo& wizard) {
    ++ran;
    EXPECT_EQ(wizard.PageIndex(), kPageProgress);
    wizard.CloseAfterInstall();
  });
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(w.Controls().ShortcutFolder, "Tools");
  EXPECT_TRUE(w.Controls().ShortcutFolderStartMenu);
  EXPECT_FALSE(w.Controls().ShortcutFolderDesktop);
  EXPECT_EQ(w.End(), WizardEnd::weInstalled);
}

}  // namespace
}  // namespace nolvo::setup
