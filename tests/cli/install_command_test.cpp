// The whole product path through the tool: pack the demo, install it unattended into a
// temporary prefix, check what landed, uninstall it and check what is left.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/code_page.h"
#include "platform/shell_link_format.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace nolvo::test {
namespace {

namespace fs = std::filesystem;

class DemoInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    media_ = dir_.Path() / "media";
    prefix_ = dir_.Path() / "prefix";
    const auto packed = RunCommand({NolvoTool(), "pack", (SourceDir() / "examples/demo").string(),
                                    "-o", media_.string(), "--segment-size", "16384", "-q"});
    ASSERT_EQ(packed.exitCode, 0) << packed.err;
  }
  CommandResult Install(std::vector<std::string> extra) {
    std::vector<std::string> argv = {NolvoTool(), "install",        media_.string(),
                                     "--prefix",  prefix_.string(), "--unattended"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return RunCommand(argv, {{"NOLVO_LAUNCH_LOG", (dir_.Path() / "launch.log").string()}});
  }
  fs::path C() const { return prefix_ / "drive_c"; }
  fs::path App() const { return C() / "Program Files" / "Nolvo Demo"; }

  TempDir dir_;
  fs::path media_, prefix_;
};

TEST_F(DemoInstall, FullInstallThenUninstallLeavesOnlyWhatIsDocumented) {
  const auto r = Install({"--accept-license", "--type", "full", "--finish", "launch",
                          "--no-startmenu", "Read Me", "--log", (dir_.Path() / "log").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  // Every file at its token's directory.
  for (const auto& f :
       {App() / "demo.exe", App() / "readme.txt", App() / "uninstaller.exe", App() / "demo.ico",
        App() / "install.exe", App() / "install.cfg", App() / "Data" / "sample.dat",
        C() / "windows" / "Fonts" / "demofont.fon", C() / "windows" / "System" / "demohelp.dll",
        C() / "Nolvo Shared" / "shared.dll"})
    EXPECT_TRUE(fs::is_regular_file(f)) << f;
  EXPECT_EQ(ReadBytes(App() / "Data" / "sample.dat"),
            ReadBytes(SourceDir() / "examples/demo/sample.dat"));
  // The links read back with their target, working directory and icon.
  const auto link = ReadBytes(C() / "windows" / "Desktop" / "Nolvo Demo.lnk");
  const auto parsed = platform::ParseLink(std::span<const std::uint8_t>(link.data(), link.size()),
                                          platform::CodePage());
  EXPECT_EQ(parsed.TargetPath(), "C:\\Program Files\\Nolvo Demo\\demo.exe");
  EXPECT_EQ(parsed.workingDirectory, "C:\\Program Files\\Nolvo Demo\\");
  EXPECT_EQ(parsed.iconLocation, "C:\\Program Files\\Nolvo Demo\\demo.ico");
  EXPECT_FALSE(fs::exists(C() / "windows" / "Start Menu" / "Read Me.lnk"));  // --no-startmenu
  EXPECT_TRUE(
      fs::exists(C() / "windows" / "Start Menu" / "Programs" / "Nolvo Demo" / "Read Me.lnk"));
  EXPECT_EQ(ReadText(C() / "windows" / "nolvodemo.ini"),
            "[Paths]\r\nHome=C:\\Program Files\\Nolvo Demo\\\r\n"
            "Data=C:\\Program Files\\Nolvo Demo\\Data\\samples\r\n");
  const std::string record = ReadText(App() / "uninstall.cfg");
  EXPECT_EQ(record.substr(0, record.find("[Nolvo Created]")),
            "[Program]\r\nTitle=Nolvo Demo 1.0\r\n[UNINS]\r\n"
            "C:\\Program Files\\Nolvo Demo\\*.*=\r\n"
            "C:\\Program Files\\Nolvo Demo\\Setup\\*.*=\r\n"
            "C:\\Program Files\\Nolvo Demo\\demo.exe=\r\n"
            "C:\\Program Files\\Nolvo Demo\\readme.txt=\r\n"
            "C:\\Program Files\\Nolvo Demo\\uninstaller.exe=\r\n"
            "C:\\Program Files\\Nolvo Demo\\demo.ico=\r\n"
            "C:\\Program Files\\Nolvo Demo\\Data\\sample.dat=\r\n"
            "C:\\WINDOWS\\Fonts\\demofont.fon=\r\n"
            "C:\\WINDOWS\\System\\demohelp.dll=\r\n"
            "C:\\Nolvo Shared\\shared.dll=\r\n"
            "C:\\WINDOWS\\Desktop\\Nolvo Demo.*=\r\n"
            "C:\\WINDOWS\\Start Menu\\Nolvo Demo.*=\r\n"
            "C:\\WINDOWS\\Start Menu\\Programs\\Nolvo Demo\\Nolvo Demo.*=\r\n"
            "C:\\WINDOWS\\Start Menu\\Programs\\Nolvo Demo\\Read Me.*=\r\n"
            "C:\\WINDOWS\\nolvodemo.ini=\r\n"
            "[Folders]\r\nC:\\WINDOWS\\Start Menu\\Programs\\Nolvo Demo=\r\n");
  const std::string reg = ReadText(prefix_ / "registry.reg");
  EXPECT_NE(reg.find("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\currentversion\\"
                     "uninstall\\Nolvo Demo 1.0]\r\n\"DisplayName\"=\"Nolvo Demo 1.0\"\r\n"
                     "\"UninstallString\"=\"C:\\\\Program Files\\\\Nolvo Demo\\\\uninstaller.exe "
                     "Nolvo Demo 1.0\"\r\n"),
            std::string::npos)
      << reg;
  EXPECT_NE(ReadText(dir_.Path() / "launch.log").find("demo.exe"), std::string::npos);
  // Nothing of the temporary folders is left.
  EXPECT_FALSE(fs::exists(C() / "windows" / "Temp" / "q"));

  const auto u =
      RunCommand({NolvoTool(), "uninstall", "Nolvo Demo 1.0", "--prefix", prefix_.string()});
  ASSERT_EQ(u.exitCode, 0) << u.err << u.out;
  EXPECT_FALSE(fs::exists(App()));
  EXPECT_FALSE(fs::exists(C() / "windows" / "nolvodemo.ini"));
  EXPECT_FALSE(fs::exists(C() / "windows" / "Desktop" / "Nolvo Demo.lnk"));
  EXPECT_FALSE(fs::exists(C() / "windows" / "Start Menu" / "Programs" / "Nolvo Demo"));
  EXPECT_FALSE(fs::exists(C() / "Nolvo Shared" / "shared.dll"));
  EXPECT_EQ(ReadText(prefix_ / "registry.reg").find("Nolvo Demo"), std::string::npos);
  EXPECT_TRUE(fs::is_directory(C() / "windows" / "System"));  // the Windows folders stay
  // A second uninstall is harmless.
  const auto again =
      RunCommand({NolvoTool(), "uninstall", "Nolvo Demo 1.0", "--prefix", prefix_.string()});
  EXPECT_NE(again.exitCode, 2) << again.err;
}

TEST_F(DemoInstall, DeclinedLicenceCancelsAndWritesNothing) {
  const auto r = Install({"--type", "full"});
  EXPECT_EQ(r.exitCode, 3) << r.err;
  EXPECT_FALSE(fs::exists(App()));
}

TEST_F(DemoInstall, APrefixWithoutZStaysWithoutItAndStillReadsTheMediumOnTheHost) {
  fs::create_directories(prefix_ / "drive_c");
  fs::create_directories(prefix_ / "dosdevices");
  fs::create_directory_symlink("../drive_c", prefix_ / "dosdevices/c:");
  const auto r = Install({"--accept-license", "--type", "full"});
  EXPECT_EQ(r.exitCode, 0) << r.err << r.out;
  EXPECT_TRUE(fs::is_regular_file(App() / "demo.exe"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(prefix_ / "dosdevices/z:")));
  const auto u =
      RunCommand({NolvoTool(), "uninstall", "Nolvo Demo 1.0", "--prefix", prefix_.string()});
  EXPECT_EQ(u.exitCode, 0) << u.err << u.out;
  EXPECT_FALSE(fs::exists(fs::symlink_status(prefix_ / "dosdevices/z:")));
}

TEST_F(DemoInstall, DryRunPrintsThePlanAndChangesNothing) {
  const auto r = Install({"--accept-license", "--type", "full", "--dry-run"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("demo.exe"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(App()));
  EXPECT_FALSE(fs::exists(prefix_ / "registry.reg"));
}

TEST_F(DemoInstall, ChoicesTheWizardWouldNotOfferAreUsageErrors) {
  EXPECT_EQ(Install({"--no-desktop", "Nope"}).exitCode, 2);
  EXPECT_EQ(Install({"--type", "fast"}).exitCode, 2);
  EXPECT_EQ(RunCommand({NolvoTool(), "install", (dir_.Path() / "none").string(), "--unattended"})
                .exitCode,
            2);
}

TEST_F(DemoInstall, AnswersFileReplaysTheChoices) {
  const auto answers = dir_.Path() / "answers.ini";
  ASSERT_EQ(Install({"--accept-license", "--type", "minimum", "--save-answers", answers.string()})
                .exitCode,
            0);
  EXPECT_FALSE(fs::exists(App() / "demo.ico"));  // the minimum install has no icon file
  fs::remove_all(prefix_);
  const auto r = Install({"--answers", answers.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(App() / "demo.exe"));
  EXPECT_FALSE(fs::exists(App() / "demo.ico"));
  // A key or value that --save-answers would not write is a usage error, not a default.
  fs::remove_all(prefix_);
  const std::string saved = ReadText(answers);
  for (const std::string wrong :
       {"Dri=D:\\x\r\n", "FolderDesktop=yes\r\n", "Overwrite=Yes\r\n", "not a key line\r\n"}) {
    WriteBytes(answers, saved + wrong);
    const auto bad = Install({"--answers", answers.string()});
    EXPECT_EQ(bad.exitCode, 2) << wrong << bad.err;
    EXPECT_FALSE(fs::exists(App())) << wrong;
  }
}

// The wizard at a terminal: each page's choices reach the install, Back keeps what was chosen,
// and declining or cancelling installs nothing.
TEST_F(DemoInstall, TheConsoleWizardInstallsWhatItsPagesChose) {
  const std::vector<std::string> argv = {NolvoTool(), "install", media_.string(), "--prefix",
                                         prefix_.string()};
  const auto chosen = RunOnTerminal(argv, {
                                              "n",               // welcome
                                              "a",               // licence
                                              "C:\\Apps\\Demo",  // a directory of one's own
                                              "y",               // ... made
                                              "b", "a", "n",     // back to the licence and on
                                              "d1", "n",         // no desktop shortcut
                                              "u", "n",          // full install
                                              "2", "i",          // return to Windows; install
                                          });
  ASSERT_EQ(chosen.exitCode, 0) << chosen.out;
  const fs::path app = C() / "Apps" / "Demo";
  for (const auto& f : {app / "demo.exe", app / "demo.ico", app / "Data" / "sample.dat"})
    EXPECT_TRUE(fs::is_regular_file(f)) << f << chosen.out;
  EXPECT_FALSE(fs::exists(App()));
  EXPECT_FALSE(fs::exists(C() / "windows" / "Desktop" / "Nolvo Demo.lnk"));
  EXPECT_TRUE(
      fs::exists(C() / "windows" / "Start Menu" / "Programs" / "Nolvo Demo" / "Read Me.lnk"));

  for (const auto& answers :
       std::vector<std::vector<std::string>>{{"n", "d"}, {"n", "a", "c", "y"}}) {
    TempDir other;
    std::vector<std::string> to = argv;
    to.back() = other.Path().string();
    const auto stopped = RunOnTerminal(to, answers);
    EXPECT_EQ(stopped.exitCode, 3) << stopped.out;
    EXPECT_FALSE(fs::exists(other.Path() / "drive_c" / "Program Files" / "Nolvo Demo"));
  }
}

}  // namespace
}  // namespace nolvo::test
