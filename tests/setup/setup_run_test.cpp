// Whole setup runs without windows over real media: what reaches the end-of-run report,
// which files of TempDir may be installed, the staging folder and the restart request.

#include "setup/setup_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "archive/segment/seg_writer.h"
#include "platform/file_attributes.h"
#include "setup/install_session.h"
#include "setup/staging_folder.h"
#include "testing/scripted_dialogs.h"
#include "tests/support/recording_unzip_view.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_machine.h"

namespace nolvo::setup {
namespace {

namespace fs = std::filesystem;

// Runs the extraction at once and drives the wizard with `drive`.
class DrivingFrontEnd : public RunFrontEnd {
 public:
  std::function<void(TNolvo&, const std::function<void(TNolvo&)>&)> drive;
  stage::UnzipView& ExtractionView() override { return view_; }
  void ShowExtraction(stage::TUnzip& unzip) override {
    unzip.FormShow();
    unzip.Timer1Timer();
  }
  void ShowWizard(TNolvo& wizard, const std::function<void(TNolvo&)>& install) override {
    drive(wizard, install);
  }

 private:
  test::RecordingUnzipView view_;
};

class SetupRunTest : public ::testing::Test {
 protected:
  // Media in C:\MEDIA with install.cfg `cfg` and an archive of `files` (name, bytes).
  void Media(const std::string& cfg,
             const std::vector<std::pair<std::string, std::string>>& files) {
    media_ = tm_.DriveC() / "MEDIA";
    fs::create_directories(media_);
    test::WriteBytes(media_ / "install.cfg", cfg);
    test::WriteBytes(media_ / "install.exe", std::string("MZ setup"));
    segment::TSegWriteArchive archive;
    for (const auto& [name, bytes] : files) {
      const fs::path source = tm_.Root() / ("src-" + name);
      test::WriteBytes(source, bytes);
      archive.Files.push_back({source, name});
    }
    segment::TSegWriterSettings s;
    s.Dir = media_;
    segment::WriteSegmentedArchive(s, {archive});
    ASSERT_TRUE(tm_.Machine().SetCurrentDirectory("C:\\MEDIA").ok());
  }
  // Runs the setup; the wizard goes straight to Install unless told otherwise.
  RunOutcome Run(std::function<void(TNolvo&)> beforeInstall = {}, bool install = true,
                 std::optional<std::string> staging = std::nullopt) {
    return Session(std::move(beforeInstall), install, std::move(staging))->Run().Run();
  }
  // A session whose wizard `beforeInstall` sees before Install is pressed (when `install`).
  std::unique_ptr<InstallSession> Session(std::function<void(TNolvo&)> beforeInstall = {},
                                          bool install = true,
                                          std::optional<std::string> staging = std::nullopt,
                                          InstallSessionOptions options = {}) {
    front_.drive = [beforeInstall, install](TNolvo& w, const std::function<void(TNolvo&)>& engine) {
      if (beforeInstall) beforeInstall(w);
      if (install && !w.Closed()) w.installClick(engine);
    };
    options.engine.installDirChosen = true;
    return std::make_unique<InstallSession>(tm_.Machine(), dialogs_, pump_, front_, staging,
                                            std::move(options));
  }
  fs::path App() const { return tm_.DriveC() / "App"; }

  test::TestMachine tm_;
  fs::path media_;
  testing::ScriptedDialogs dialogs_;
  platform::NullMessagePump pump_;
  DrivingFrontEnd front_;
};

// An install.cfg with `main` added to its [Setup - Main] and `files` to its [Files].
std::string Cfg(const std::string& main = "", const std::string& files = "") {
  return "[Setup - Main]\r\nInstall Dir=App\r\nFolder=\r\nLaunch=\r\n" + main +
         "[Directories]\r\nd=<INSTALLDIR>~\r\n[Files]\r\na=app.exe~<INSTALLDIR>\r\n" + files;
}

TEST_F(SetupRunTest, APictureThatCannotBeShownIsAWarningAndTheSetupGoesOn) {
  Media(Cfg("Bitmap File=logo.jpg\r\n"), {{"logo.jpg", "not a picture"}, {"app.exe", "MZ"}});
  const RunOutcome r = Run();
  EXPECT_FALSE(r.Abandoned);
  EXPECT_EQ(test::ReadText(App() / "app.exe"), "MZ");
  ASSERT_EQ(r.Report.Items().size(), 1u);
  EXPECT_TRUE(r.Report.Items()[0].warning);
  EXPECT_NE(r.Report.Items()[0].text.find("Cannot load the picture logo.jpg"), std::string::npos);
  EXPECT_FALSE(r.Report.Failed());
}

TEST_F(SetupRunTest, NoFileTheRunDidNotExpandIsEverInstalled) {
  // A read-only leftover survives the emptying of TempDir.
  const fs::path tempq = tm_.Machine().Resolve("C:\\WINDOWS").host / "Temp" / "q";
  auto leave = [&](const std::string& name) {
    fs::create_directories(tempq);
    test::WriteBytes(tempq / name, std::string("stale"));
    EXPECT_TRUE(platform::SetFileAttributes(tm_.Machine(), "C:\\WINDOWS\\Temp\\q\\" + name,
                                            platform::kFileAttributeReadonly)
                    .ok());
  };
  // Listed but not in the media: named, not installed.
  Media(Cfg("", "b=old.dll~<INSTALLDIR>\r\n"), {{"app.exe", "MZ"}});
  leave("old.dll");
  RunOutcome r = Run();
  EXPECT_FALSE(fs::exists(App() / "old.dll"));
  ASSERT_TRUE(r.Report.Failed());
  EXPECT_NE(r.Report.Lines().back().find("old.dll is not in the media"), std::string::npos);
  // In the media, but the stale copy cannot be replaced: the extraction fails, nothing
  // is installed.
  fs::remove_all(App());
  leave("app.exe");
  dialogs_.OnMessage(platform::DialogResult::idOk, "Error Expanding Files!!");
  r = Run();
  EXPECT_TRUE(r.Abandoned);
  EXPECT_NE(r.ExtractionError.find("app.exe"), std::string::npos) << r.ExtractionError;
  EXPECT_FALSE(fs::exists(App()));
  EXPECT_TRUE(r.Report.Failed());
}

TEST_F(SetupRunTest, TheStagingFolderLosesOnlyTheMedium) {
  Media(Cfg("Bitmap File=Logo.bmp\r\n"), {{"app.exe", "MZ"}});
  for (const char* name :
       {"disk.002", "DISK.1000", "logo.BMP", "notes.txt", "disk.00x", "install.ini"})
    test::WriteBytes(media_ / name, std::string("x"));
  fs::create_directories(media_ / "sub");
  const RunOutcome r = Run({}, true, std::string("C:\\MEDIA"));
  ASSERT_TRUE(r.Staging.has_value());
  EXPECT_EQ(r.Staging->left,
            (std::vector<std::string>{"disk.00x", "install.ini", "notes.txt", "sub"}));
  EXPECT_FALSE(r.Staging->removed);
  for (const char* gone :
       {"install.cfg", "install.exe", "disk.001", "disk.002", "DISK.1000", "logo.BMP"})
    EXPECT_FALSE(fs::exists(media_ / gone)) << gone;
  EXPECT_TRUE(fs::exists(media_ / "notes.txt"));
  ASSERT_FALSE(r.Report.Failed());
  EXPECT_NE(r.Report.Lines().back().find("keeps what is no part of a setup medium: disk.00x, "
                                         "install.ini, notes.txt, sub"),
            std::string::npos);
}

TEST_F(SetupRunTest, RestartIsRequestedOnlyWhenTheChoiceStandsAtTheEnd) {
  test::ScopedEnv restart("NOLVO_RESTART_COMMAND", "true");
  Media(Cfg(), {{"app.exe", "MZ"}});
  RunOutcome r = Run();  // "Show Re-Boot" preselects the restart
  EXPECT_TRUE(r.RebootRequested);
  EXPECT_TRUE(r.RebootAccepted);
  Media(Cfg(), {{"app.exe", "MZ"}});
  r = Run([](TNolvo& w) { w.closeClick(); }, false);
  EXPECT_EQ(r.End, WizardEnd::weClosed);
  EXPECT_FALSE(r.RebootRequested);
  Media(Cfg(), {{"app.exe", "MZ"}});
  r = Run([](TNolvo& w) { w.cancelClick(); }, false);
  EXPECT_FALSE(r.RebootRequested);
}

TEST_F(SetupRunTest, LinesTheLoaderCouldNotUseReachTheReport) {
  Media(Cfg("", "no equals here\r\n[Files]\r\nz=z.exe~<INSTALLDIR>\r\n"), {{"app.exe", "MZ"}});
  const RunOutcome r = Run();
  EXPECT_EQ(test::ReadText(App() / "app.exe"), "MZ");
  const auto lines = r.Report.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("\"no equals here\" has no \"=\""), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("lies in a second [Files] section"), std::string::npos) << lines[1];
}

TEST_F(SetupRunTest, TheSessionRunsTheEngineAsInstallIsPressedAndEndsTheWizardByItsResult) {
  test::ScopedEnv restart("NOLVO_RESTART_COMMAND", "true");
  const std::string unbound = "[Setup - Main]\r\nInstall Dir=App\r\n[Files]\r\na=app.exe~X\r\n";
  struct Case {
    const char* name;
    std::string cfg;
    std::function<bool(TNolvo&)> beforeEngine;
    bool dryRun;
    std::optional<EngineEnd> end;  // none: the engine did not run
    bool installed;
  };
  const Case cases[] = {
      {"installed", Cfg(), {}, false, EngineEnd::eeCompleted, true},
      {"planned only", Cfg(), {}, true, EngineEnd::eeCompleted, false},
      {"given up before", Cfg(), [](TNolvo&) { return false; }, false, std::nullopt, false},
      {"refused", unbound, {}, false, EngineEnd::eeRefused, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(App());
    Media(c.cfg, {{"app.exe", "MZ"}});
    InstallSessionOptions options;
    options.beforeEngine = c.beforeEngine;
    options.engine.dryRun = c.dryRun;
    const auto session = Session({}, true, std::nullopt, options);
    const RunOutcome r = session->Run().Run();
    ASSERT_EQ(session->Engine().has_value(), c.end.has_value());
    if (c.end) {
      EXPECT_EQ(session->Engine()->end, *c.end);
    }
    EXPECT_EQ(fs::exists(App() / "app.exe"), c.installed);
    const bool completed = c.end == EngineEnd::eeCompleted;
    // Only a completed installation may end in the restart "Show Re-Boot" preselects.
    EXPECT_EQ(r.RebootRequested, completed);
    EXPECT_EQ(r.Report.Failed(), c.end == EngineEnd::eeRefused);
    EXPECT_FALSE(session->HostMenu().has_value());  // no Wine prefix
  }
}

TEST_F(SetupRunTest, AWineRegistryWrittenBackWhileTheWizardWaitedIsTakenInAndKept) {
  const fs::path hive = tm_.Machine().Prefix() / "system.reg";
  test::WriteBytes(hive, "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n");
  // The registry entry names the uninstaller, so the product must bring one.
  Media(Cfg("", "u=uninstaller.exe~<INSTALLDIR>\r\n"),
        {{"app.exe", "MZ"}, {"uninstaller.exe", "MZ"}});
  InstallSessionOptions options;
  options.beforeEngine = [&](TNolvo&) {
    std::ofstream(hive, std::ios::app) << "\n[Software\\\\Wine Wrote] 1796783892\n#time=1\n";
    return true;
  };
  const auto session = Session({}, true, std::nullopt, options);
  const RunOutcome r = session->Run().Run();
  ASSERT_TRUE(session->Engine().has_value());
  EXPECT_EQ(session->Engine()->end, EngineEnd::eeCompleted);
  EXPECT_FALSE(r.Report.Failed());
  const std::string text = test::ReadText(hive);
  EXPECT_NE(text.find("[Software\\\\Wine Wrote]"), std::string::npos);
  EXPECT_NE(text.find("\"UninstallString\"="), std::string::npos) << text;
}

TEST(StagingFolder, TheCommandLineNamesAHostFolderThroughTheDrives) {
  test::TestMachine tm;
  platform::Machine& m = tm.Machine();
  const fs::path d = tm.Root() / "data";
  fs::create_directories(d / "med");
  fs::create_directories(d / "stage");
  ASSERT_TRUE(m.MapDrive('D', d).ok());
  fs::remove(m.DosDevices() / "z:");  // no drive for the whole host
  ASSERT_TRUE(m.SetCurrentDirectory("D:\\med").ok());
  const fs::path outside = tm.Root() / "outside";
  fs::create_directories(outside);
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\STAGE", "C:\\STAGE"},
      {(d / "stage").string(), "D:\\stage"},
      // On no drive: not the folder \stage of the current drive D:.
      {"/stage", ""},
      {outside.string(), ""},
  };
  for (const auto& [arg, expected] : cases)
    EXPECT_EQ(StagingFolderArgument(m, arg), expected) << arg;
}

TEST(StagingFolder, WhatMayBeAStagingFolder) {
  test::TestMachine tm;
  const fs::path home = tm.Root() / "home";
  fs::create_directories(home / "setup");
  test::ScopedEnv env("HOME", home.string());
  const std::pair<fs::path, const char*> cases[] = {
      {"/", "is a file system root"},
      {home, "is a home folder"},
      {tm.Machine().Prefix(), "is the prefix"},
      {tm.DriveC(), "is the root of drive C:"},
      {tm.Machine().Prefix() / "dosdevices", "or lies inside it"},
      {home / "setup", nullptr},
  };
  for (const auto& [folder, refusal] : cases) {
    const auto found = StagingFolderRefusal(tm.Machine(), folder);
    ASSERT_EQ(found.has_value(), refusal != nullptr) << folder;
    if (refusal) {
      EXPECT_NE(found->find(refusal), std::string::npos) << *found;
    }
  }
  for (const char* medium : {"install.cfg", "INSTALL.EXE", "disk.001", "disk.1234", "logo.gif"})
    EXPECT_TRUE(IsSetupMediumFile(medium, "LOGO.GIF")) << medium;
  for (const char* other :
       {"disk.01", "disk.0a1", "disks.001", "setup.exe", "install.cfg.bak", "logo.bmp"})
    EXPECT_FALSE(IsSetupMediumFile(other, "LOGO.GIF")) << other;
}

}  // namespace
}  // namespace nolvo::setup
