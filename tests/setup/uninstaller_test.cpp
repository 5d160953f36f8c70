#include "setup/uninstaller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "tests/setup/engine_fixture.h"

namespace nolvo::setup {
namespace {

namespace fs = std::filesystem;

// Every path below `root`, relative, except those below the temporary folder of the setup.
std::set<std::string> Tree(const fs::path& root) {
  std::set<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = e.path().lexically_relative(root).generic_string();
    if (rel.rfind("WINDOWS/Temp", 0) == 0) continue;
    out.insert(rel);
  }
  return out;
}

bool Lists(const std::vector<UninstallItem>& items, const std::string& path) {
  return std::any_of(items.begin(), items.end(),
                     [&](const UninstallItem& i) { return i.path == path; });
}

class UninstallerTest : public EngineFixture {
 protected:
  void InstallProduct() {
    settings.DirectoryList = {"<INSTALLDIR>~x", "<SUB1>~Data", "<WINDOWS>~x",
                              "<SUB2><INSTALLDIR>~Data\\Deep"};
    settings.FileList = {"app.exe~<INSTALLDIR>~", "uninstaller.exe~<INSTALLDIR>~",
                         "data.dat~<SUB1>~", "deep.dat~<SUB2><INSTALLDIR>~", "tool.dll~<WINDOWS>~"};
    settings.DesktopList = {"Editor~<INSTALLDIR>app.exe~X~X~<INSTALLDIR>app.exe~Tools"};
    settings.IniFileName = "mytool.ini";
    settings.IniSetupList = {"Paths~Home~<INSTALLDIR>"};
    desktopOffered = {"Editor"};
    startMenuOffered = {"Editor"};
    folderDesktop = true;
    folderStartMenu = true;
    for (const char* f : {"app.exe", "uninstaller.exe", "data.dat", "deep.dat", "tool.dll"})
      PutTemp(f, f);
    const EngineResult r = Install();
    ASSERT_TRUE(r.FullSuccess()) << r.error;
  }
};

TEST_F(UninstallerTest, RoundTripLeavesOnlyWhatIsDocumented) {
  const std::set<std::string> before = Tree(tm.DriveC());
  InstallProduct();
  ASSERT_TRUE(Exists("C:\\WINDOWS\\Start Menu\\Tools\\Editor.lnk"));
  ASSERT_TRUE(Exists("C:\\WINDOWS\\Desktop\\Tools\\Editor.lnk"));
  // A file of the user's own in the Windows directory stays untouched.
  test::WriteBytes(Host("C:\\WINDOWS\\win.ini"), std::string("[windows]\r\n"));

  const auto target = FindUninstallTarget(tm.Machine(), registry, "My Tool");
  ASSERT_TRUE(target);
  EXPECT_EQ(target->installDir, "C:\\Apps\\Tool");
  EXPECT_TRUE(target->registryKey);
  const UninstallReport report = Uninstall(tm.Machine(), registry, *target, {});
  EXPECT_TRUE(report.refused.empty());

  std::set<std::string> expected = before;
  for (const char* stays : {"Apps", "WINDOWS/win.ini", "WINDOWS/Desktop", "WINDOWS/Start Menu",
                            "WINDOWS/Start Menu/Programs"})
    expected.insert(stays);
  EXPECT_EQ(Tree(tm.DriveC()), expected);
  EXPECT_FALSE(registry.KeyExists(platform::kHKeyLocalMachine,
                                  std::string(kUninstallKeyBase) + "My Tool"));
  EXPECT_TRUE(registry.KeyExists(platform::kHKeyLocalMachine,
                                 "Software\\Microsoft\\Windows\\currentversion\\uninstall"));
  EXPECT_TRUE(Lists(report.removed, "C:\\WINDOWS\\mytool.ini"));
  EXPECT_TRUE(Lists(report.removed, "C:\\Apps\\Tool"));
  EXPECT_TRUE(Lists(report.removed, "C:\\WINDOWS\\Start Menu\\Programs\\Tools"));

  // Twice: nothing is found by title, and the same target again changes nothing.
  EXPECT_FALSE(FindUninstallTarget(tm.Machine(), registry, "My Tool"));
  const UninstallReport again = Uninstall(tm.Machine(), registry, *target, {});
  EXPECT_TRUE(again.removed.empty());
  EXPECT_TRUE(again.refused.empty());
  EXPECT_EQ(Tree(tm.DriveC()), expected);
}

TEST_F(UninstallerTest, FoundByPathAndDryRunChangesNothing) {
  InstallProduct();
  const std::set<std::string> installed = Tree(tm.DriveC());
  auto byPath = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\Tool\\uninstall.cfg");
  ASSERT_TRUE(byPath);
  EXPECT_EQ(byPath->title, "My Tool");
  EXPECT_TRUE(byPath->registryKey);
  auto byHostDir = FindUninstallTarget(tm.Machine(), registry, Host("C:\\Apps\\Tool").string());
  ASSERT_TRUE(byHostDir);
  EXPECT_EQ(byHostDir->recordFile, "C:\\Apps\\Tool\\uninstall.cfg");

  UninstallOptions dry;
  dry.dryRun = true;
  const UninstallReport plan = Uninstall(tm.Machine(), registry, *byPath, dry);
  EXPECT_EQ(Tree(tm.DriveC()), installed);
  EXPECT_TRUE(registry.KeyExists(platform::kHKeyLocalMachine,
                                 std::string(kUninstallKeyBase) + "My Tool"));
  EXPECT_TRUE(Lists(plan.removed, "C:\\Apps\\Tool\\app.exe"));
  EXPECT_TRUE(Lists(plan.removed, "C:\\Apps\\Tool\\Data\\Deep"));
  EXPECT_TRUE(Lists(plan.removed, "C:\\Apps\\Tool"));
  const UninstallReport real = Uninstall(tm.Machine(), registry, *byPath, {});
  EXPECT_EQ(real.removed.size(), plan.removed.size());
}

TEST_F(UninstallerTest, DangerousPatternsAndForeignTargetsAreRefused) {
  const fs::path hostFile = tm.Root() / "victim.txt";
  test::WriteBytes(hostFile, std::string("keep"));
  const std::string zFile = tm.Machine().ToWindows(hostFile);
  fs::create_directories(Host("C:\\Apps\\X"));
  fs::create_directories(Host("C:\\WINDOWS\\System"));
  fs::create_directories(Host("C:\\WINDOWS\\Desktop"));
  test::WriteBytes(Host("C:\\keep.txt"), std::string("k"));
  test::WriteBytes(Host("C:\\WINDOWS\\Desktop\\user.lnk"), std::string("L"));
  test::WriteBytes(Host("C:\\WINDOWS\\win.ini"), std::string("w"));
  test::WriteBytes(Host("C:\\WINDOWS\\System\\drv.sys"), std::string("d"));
  test::WriteBytes(Host("C:\\Apps\\X\\own.txt"), std::string("o"));
  test::WriteBytes(Host("C:\\Apps\\X\\uninstall.cfg"),
                   "[Program]\r\nTitle=X\r\n[UNINS]\r\nC:\\*.*=\r\nc:\\windows\\*.*=\r\n"
                   "C:\\WINDOWS\\System\\*.*=\r\nC:\\WINDOWS\\Desktop\\*=\r\nC:\\Apps\\X\\..\\..\\*.*=\r\n" +
                       zFile + "=\r\nC:\\Apps\\X\\own.txt=\r\n"
                   "[Folders]\r\nC:\\WINDOWS\\Desktop=\r\nC:\\WINDOWS=\r\n");
  const auto target = FindUninstallTarget(tm.Machine(), registry, "C:\\Apps\\X");
  ASSERT_TRUE(target);
  EXPECT_FALSE(target->registryKey);
  const UninstallReport r = Uninstall(tm.Machine(), registry, *target, {});
  EXPECT_EQ(r.refused.size(), 6u);
  EXPECT_TRUE(Exists("C:\\WINDOWS\\Desktop\\user.lnk"));
  EXPECT_TRUE(Exists("C:\\keep.txt"));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\win.ini"));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\System\\drv.sys"));
  EXPECT_TRUE(Exists("C:\\WINDOWS\\Desktop"));
  EXPECT_TRUE(fs::exists(hostFile));
  EXPECT_FALSE(Exists("C:\\Apps\\X"));  // its own file and record went, then the folder
  EXPECT_TRUE(Lists(r.kept, "C:\\WINDOWS\\Desktop"));
}

TEST_F(UninstallerTest, NothingRecordedIsNotFound) {
  EXPECT_FALSE(FindUninstallTarget(tm.Machine(), registry, "No Such Product"));
  EXPECT_FALSE(FindUninstallTarget(tm.Machine(), registry, "C:\\Nowhere\\uninstall.cfg"));
  EXPECT_FALSE(FindUninstallTarget(tm.Machine(), registry, ""));
}

}  // namespace
}  // namespace nolvo::setup
