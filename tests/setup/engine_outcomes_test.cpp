// What the engine makes of entries it cannot use, of files that exist already, of an
// interruption, of a follow-on setup, and the review's corner cases, each against what
// uninstall.cfg then records.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "platform/file_attributes.h"
#include "platform/profile_file.h"
#include "setup/created_files.h"
#include "setup/desktop_entry.h"
#include "setup/install_engine.h"
#include "setup/uninstaller.h"
#include "tests/setup/engine_fixture.h"
#include "tests/support/scoped_env.h"

namespace nolvo::setup {
namespace {

namespace fs = std::filesystem;
using platform::DialogResult;

class EngineOutcomes : public EngineFixture {
 protected:
  // The paths of the files the record lists as created, in upper case.
  std::set<std::string> CreatedFiles() const {
    std::set<std::string> out;
    const auto record = platform::LoadProfile(Host("C:\\Apps\\Tool\\uninstall.cfg"));
    for (const auto& e : ReadCreatedEntries(record))
      if (e.kind == CreatedKind::ckFile) out.insert(platform::AsciiUpper(e.path));
    return out;
  }
};

TEST_F(EngineOutcomes, EveryLineThatCannotBeUsedIsNamed) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"no tilde~", "a.exe~<NOWHERE>~", "b.exe~<INSTALLDIR>~",
                       "stale.dll~<INSTALLDIR>~"};
  settings.DesktopList = {"Just a name"};
  settings.IniFileName = "t.ini";
  settings.IniSetupList = {"S~K~<ELSEWHERE>x"};
  PutTemp("b.exe", "b");
  PutTemp("stale.dll", "left by an earlier run");
  const std::set<std::string> expanded = {"B.EXE", "INSTALL.EXE", "INSTALL.CFG"};
  const EngineResult r = Install({}, &expanded);
  ASSERT_EQ(r.end, EngineEnd::eeCompleted) << r.error;
  EXPECT_EQ(
      r.unusable,
      (std::vector<std::string>{
          "[Files] \"no tilde\": no \"~\" separates its fields; not used",
          "[Files] \"a.exe~<NOWHERE>\": the token <NOWHERE> is bound by no [Directories] entry; "
          "not used",
          "[Desktop] \"Just a name\": no \"~\" separates its fields; not used",
          "[INI - Setup] \"S~K~<ELSEWHERE>x\": the token <ELSEWHERE> is bound by no [Directories] "
          "entry; not used",
          "[Files] \"stale.dll~<INSTALLDIR>\": stale.dll is not in the media; not installed"}));
  EXPECT_FALSE(r.FullSuccess());
  EXPECT_EQ(Read("C:\\Apps\\Tool\\b.exe"), "b");
  EXPECT_FALSE(Exists("C:\\Apps\\Tool\\stale.dll"));  // a file this run did not expand
}

TEST_F(EngineOutcomes, KeepExistingKeepsEveryExistingFileAndRecordsOnlyNewOnes) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"marked.txt~<INSTALLDIR>~X", "plain.txt~<INSTALLDIR>~",
                       "new.txt~<INSTALLDIR>~"};
  settings.DesktopList = {"Editor~<INSTALLDIR>new.txt~X~~<INSTALLDIR>x.ico~Tools"};
  desktopOffered = {"Editor"};
  for (const char* f : {"marked.txt", "plain.txt", "new.txt"}) PutTemp(f, "product");
  fs::create_directories(Host("C:\\Apps\\Tool"));
  fs::create_directories(Host("C:\\WINDOWS\\Desktop"));
  test::WriteBytes(Host("C:\\Apps\\Tool\\marked.txt"), std::string("mine 1"));
  test::WriteBytes(Host("C:\\Apps\\Tool\\plain.txt"), std::string("mine 2"));
  test::WriteBytes(Host("C:\\WINDOWS\\Desktop\\Editor.lnk"), std::string("my own link"));
  EngineOptions keep;
  keep.keepExisting = true;
  const EngineResult r = Install(std::move(keep));
  ASSERT_TRUE(r.FullSuccess()) << r.error;
  EXPECT_TRUE(dialogs.Asked().empty());
  EXPECT_EQ(Read("C:\\Apps\\Tool\\marked.txt"), "mine 1");
  EXPECT_EQ(Read("C:\\Apps\\Tool\\plain.txt"), "mine 2");
  EXPECT_EQ(Read("C:\\WINDOWS\\Desktop\\Editor.lnk"), "my own link");
  EXPECT_EQ(Read("C:\\Apps\\Tool\\new.txt"), "product");
  const auto created = CreatedFiles();
  EXPECT_TRUE(created.count("C:\\APPS\\TOOL\\NEW.TXT"));
  EXPECT_TRUE(created.count("C:\\WINDOWS\\START MENU\\PROGRAMS\\TOOLS\\EDITOR.LNK"));
  for (const char* kept : {"C:\\APPS\\TOOL\\MARKED.TXT", "C:\\APPS\\TOOL\\PLAIN.TXT",
                           "C:\\WINDOWS\\DESKTOP\\EDITOR.LNK"})
    EXPECT_FALSE(created.count(kept)) << kept;
}

TEST_F(EngineOutcomes, AnInterruptionStopsAtTheNextStepWithTheRecordTrue) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  // big.dat is named twice, so its temporary copy is copied, not moved, the first time.
  settings.FileList = {"a.dat~<INSTALLDIR>~", "big.dat~<INSTALLDIR>~", "c.dat~<INSTALLDIR>~",
                       "big.dat~<INSTALLDIR>~"};
  settings.LaunchProgram = "<INSTALLDIR>a.dat";
  finish = app::FinishChoice::fcLaunch;
  PutTemp("a.dat", "first");
  PutTemp("big.dat", std::string(3 * 256 * 1024, 'b'));
  PutTemp("c.dat", "third");
  // The stop comes while big.dat is half written.
  EngineOptions options;
  options.interrupted = [this] {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(Host("C:\\Apps\\Tool"), ec))
      if (e.path().extension() == ".part" && fs::file_size(e.path(), ec) >= 256 * 1024) return true;
    return false;
  };
  const EngineResult r = Install(std::move(options));
  EXPECT_EQ(r.end, EngineEnd::eeInterrupted) << r.error;
  EXPECT_EQ(r.recordFile, "C:\\Apps\\Tool\\uninstall.cfg");
  EXPECT_FALSE(r.launched);
  EXPECT_EQ(wizard->End(), WizardEnd::weOpen);
  EXPECT_EQ(Read("C:\\Apps\\Tool\\a.dat"), "first");
  EXPECT_FALSE(Exists("C:\\Apps\\Tool\\big.dat"));
  EXPECT_FALSE(Exists("C:\\Apps\\Tool\\c.dat"));
  for (const auto& e : fs::directory_iterator(Host("C:\\Apps\\Tool")))
    EXPECT_NE(e.path().extension(), ".part") << e.path();
  // The record holds what was written, the product's keys included.
  EXPECT_TRUE(CreatedFiles().count("C:\\APPS\\TOOL\\A.DAT"));
  EXPECT_NE(SystemSections("C:\\Apps\\Tool\\uninstall.cfg").find("C:\\Apps\\Tool\\a.dat=\r\n"),
            std::string::npos);
  // And an uninstall of it leaves nothing behind.
  const auto target = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\Tool\\uninstall.cfg");
  ASSERT_TRUE(target);
  EXPECT_TRUE(Uninstall(tm.Machine(), registry, *target, {}).refused.empty());
  EXPECT_FALSE(Exists("C:\\Apps"));
}

TEST_F(EngineOutcomes, AFileMovedIntoPlaceIsLikeAFreshCopy) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"app.exe~<INSTALLDIR>~"};
  PutTemp("app.exe", "MZ");
  // The archive's attributes and date on the temporary copy.
  const std::string temp = "C:\\WINDOWS\\Temp\\q\\app.exe";
  EXPECT_TRUE(
      platform::SetFileAttributes(tm.Machine(), temp,
                                  platform::kFileAttributeReadonly | platform::kFileAttributeHidden)
          .ok());
  const timespec old[2] = {{946684800, 0}, {946684800, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Host(temp).c_str(), old, 0), 0);
  ASSERT_TRUE(Install().FullSuccess());
  EXPECT_FALSE(Exists(temp));
  EXPECT_EQ(Read("C:\\Apps\\Tool\\app.exe"), "MZ");
  EXPECT_EQ(platform::GetFileAttributes(tm.Machine(), "C:\\Apps\\Tool\\app.exe"),
            platform::kFileAttributeArchive);
  const auto age =
      fs::file_time_type::clock::now() - fs::last_write_time(Host("C:\\Apps\\Tool\\app.exe"));
  EXPECT_LT(age, std::chrono::minutes(1));
}

TEST_F(EngineOutcomes, AnUninstallKeepsARecordFileThatWasThereBefore) {
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"app.exe~<INSTALLDIR>~"};
  const std::string mine = "[Mine]\r\nimportant=yes\r\n";
  for (const bool before : {false, true}) {
    if (before) {
      fs::create_directories(Host("C:\\Apps\\Tool"));
      test::WriteBytes(Host("C:\\Apps\\Tool\\uninstall.cfg"), mine);
    }
    for (int run = 0; run < 2; ++run) {  // a second run over the first keeps what it knew
      PutTemp("app.exe", "MZ");
      ASSERT_TRUE(Install().FullSuccess());
    }
    const auto target = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\Tool");
    ASSERT_TRUE(target);
    EXPECT_TRUE(Uninstall(tm.Machine(), registry, *target, {}).refused.empty());
    EXPECT_FALSE(Exists("C:\\Apps\\Tool\\app.exe")) << before;
    EXPECT_EQ(Exists("C:\\Apps\\Tool\\uninstall.cfg"), before);
    if (before) {
      const std::string left = Read("C:\\Apps\\Tool\\uninstall.cfg");
      EXPECT_EQ(left.find(mine), 0u) << left;
      EXPECT_EQ(left.find("[Nolvo Created]"), std::string::npos) << left;
    }
  }
}

TEST_F(EngineOutcomes, AFollowOnSetupStartsOnlyWhenAsked) {
  const fs::path launchLog = tm.Root() / "launch.log";
  test::ScopedEnv env("NOLVO_LAUNCH_LOG", launchLog.string());
  settings.DirectoryList = {"<INSTALLDIR>~x"};
  settings.FileList = {"setup.exe~<INSTALLDIR>~"};
  PutTemp("setup.exe", "MZ");
  settings.LaunchProgram = "<INSTALLDIR>setup.exe";
  EngineOptions unasked;
  unasked.startFollowOn = false;
  EngineResult r = Install(std::move(unasked));
  EXPECT_FALSE(r.launched);
  EXPECT_FALSE(fs::exists(launchLog));
  EXPECT_EQ(r.notStarted,
            (std::vector<std::string>{"Follow-on setup not started: C:\\Apps\\Tool\\setup.exe"}));
  EXPECT_TRUE(r.FullSuccess());  // said, not failed

  settings.LaunchProgram = "<INSTALLDIR>setup.exe";
  r = Install();
  EXPECT_TRUE(r.launched);
  EXPECT_NE(test::ReadText(launchLog).find("setup.exe"), std::string::npos);
}

TEST_F(EngineOutcomes, TheRecordIsNoProductFileAndLongPathsAreNamedAsSuch) {
  settings.DirectoryList = {"<INSTALLDIR>~x", "<SUB1>~" + std::string(260, 'd')};
  settings.FileList = {"uninstall.cfg~<INSTALLDIR>~", "x.dat~<SUB1>~"};
  PutTemp("uninstall.cfg", "[Nolvo Created]\r\nHostFile=1|1|/etc/passwd|\r\n");
  PutTemp("x.dat", "x");
  const EngineResult r = Install();
  ASSERT_EQ(r.end, EngineEnd::eeCompleted) << r.error;
  ASSERT_EQ(r.refused.size(), 3u);
  EXPECT_EQ(r.refused[0].find("directory C:\\Apps\\Tool\\ddd"), 0u) << r.refused[0];
  EXPECT_NE(r.refused[0].find("(a path too long for Windows)"), std::string::npos) << r.refused[0];
  EXPECT_EQ(r.refused[1],
            "file C:\\Apps\\Tool\\uninstall.cfg (it would replace the uninstall record)");
  EXPECT_NE(r.refused[2].find("(a path too long for Windows)"), std::string::npos) << r.refused[2];
  EXPECT_EQ(SystemSections("C:\\Apps\\Tool\\uninstall.cfg").find("[Program]"), 0u);
}

TEST_F(EngineOutcomes, NothingIsInstalledIntoTheTemporaryFolderThatTheEndEmpties) {
  const struct {
    std::string destination, sub;
    bool refused;  // the whole run; else only the <SUB1> file
  } cases[] = {
      {"C:\\WINDOWS\\Temp\\q", "Data", true},
      {"C:\\windows\\TEMP\\Q\\App", "Data", true},
      {"C:\\Apps\\Tool", "..\\..\\WINDOWS\\Temp\\q\\Data", false},
  };
  for (const auto& c : cases) {
    destination = c.destination;
    settings.DirectoryList = {"<INSTALLDIR>~x", "<SUB1>~" + c.sub};
    settings.FileList = {"a.exe~<INSTALLDIR>~", "b.dat~<SUB1>~"};
    PutTemp("a.exe", "a");
    PutTemp("b.dat", "b");
    const EngineResult r = Install();
    EXPECT_EQ(r.end, c.refused ? EngineEnd::eeRefused : EngineEnd::eeCompleted) << r.error;
    EXPECT_EQ(r.refused.size(), c.refused ? 0u : 2u);  // the directory and the file
    EXPECT_EQ(Exists(c.destination + "\\uninstall.cfg"), !c.refused);
  }
}

TEST_F(EngineOutcomes, ReviewCornerCases) {
  // Five fields: the fifth (token and icon path) is the folder as well.
  const DesktopEntry five = SplitDesktopEntry("Editor~<INSTALLDIR>ed.exe~X~~<INSTALLDIR>ed.ico");
  EXPECT_EQ(five.IconField, "<INSTALLDIR>ed.ico");
  EXPECT_EQ(five.Folder, "<INSTALLDIR>ed.ico");

  // A token bound twice handles its entries twice; two shortcuts of one name share a
  // link; the folders on the Start Menu and the desktop are recorded in order.
  settings.DirectoryList = {"<INSTALLDIR>~x", "<SUB1>~One", "<SUB1>~Two"};
  settings.FileList = {"d.dat~<SUB1>~", "app.exe~<INSTALLDIR>~", "other.exe~<INSTALLDIR>~"};
  settings.DesktopList = {"Run~<INSTALLDIR>app.exe~~~<INSTALLDIR>app.exe~Tools",
                          "Run~<INSTALLDIR>other.exe~~~<INSTALLDIR>other.exe~Tools"};
  folderDesktop = folderStartMenu = true;
  for (const char* f : {"d.dat", "app.exe", "other.exe"}) PutTemp(f, f);
  const EngineResult r = Install();
  ASSERT_EQ(r.end, EngineEnd::eeCompleted) << r.error;
  EXPECT_EQ(Read("C:\\Apps\\Tool\\One\\d.dat"), "d.dat");
  // The temporary copy went with the first handling: the second is a named failure.
  ASSERT_EQ(r.failedCopies.size(), 1u);
  EXPECT_EQ(r.failedCopies[0].destination, "C:\\Apps\\Tool\\Two\\d.dat");
  const std::string system = SystemSections("C:\\Apps\\Tool\\uninstall.cfg");
  EXPECT_NE(
      system.find("[Folders]\r\nC:\\WINDOWS\\Desktop\\Tools=\r\nC:\\WINDOWS\\Start Menu\\Tools=\r\n"
                  "C:\\WINDOWS\\Start Menu\\Programs\\Tools=\r\n"),
      std::string::npos)
      << system;
  EXPECT_NE(system.find(
                "C:\\WINDOWS\\Desktop\\Tools\\Run.*=\r\nC:\\WINDOWS\\Start Menu\\Tools\\Run.*=\r\n"
                "C:\\WINDOWS\\Start Menu\\Programs\\Tools\\Run.*=\r\n"),
            std::string::npos)
      << system;
  // The second shortcut replaced the first one's link, and the link stays on record.
  const std::string link = Read("C:\\WINDOWS\\Start Menu\\Programs\\Tools\\Run.lnk");
  EXPECT_NE(link.find("other.exe"), std::string::npos);
  EXPECT_TRUE(CreatedFiles().count("C:\\WINDOWS\\START MENU\\PROGRAMS\\TOOLS\\RUN.LNK"));
  const auto target = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\Tool");
  ASSERT_TRUE(target);
  Uninstall(tm.Machine(), registry, *target, {});
  for (const char* gone :
       {"C:\\WINDOWS\\Start Menu\\Programs\\Tools", "C:\\WINDOWS\\Desktop\\Tools",
        "C:\\WINDOWS\\Start Menu\\Tools", "C:\\Apps"})
    EXPECT_FALSE(Exists(gone)) << gone;
}

}  // namespace
}  // namespace nolvo::setup
