#include "setup/shortcuts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/file_attributes.h"
#include "platform/machine.h"
#include "platform/shell_link_format.h"
#include "platform/win_error.h"
#include "tests/support/temp_dir.h"

namespace nolvo::setup {
namespace {

namespace fs = std::filesystem;

class ShortcutsTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  platform::Machine machine{dir.Path() / "prefix", platform::CodePage()};
  fs::path windows = dir.Path() / "prefix" / "drive_c" / "windows";

  void Fill(TShortcuts& s) {
    s.RunProgram = "C:\\Apps\\Tool\\bin\\ed.exe";
    s.Folder = "Tools";
    s.ProgramName = "Editor";
    s.IconFile = "C:\\Apps\\Tool\\ed.ico";
  }

  // Every .lnk below the Windows directory, relative to it, with "/" separators.
  std::set<std::string> Links() const {
    std::set<std::string> out;
    if (!fs::exists(windows)) return out;
    for (const auto& e : fs::recursive_directory_iterator(windows))
      if (e.is_regular_file() && e.path().extension() == ".lnk")
        out.insert(e.path().lexically_relative(windows).generic_string());
    return out;
  }

  platform::ParsedLink Parse(const std::string& relative) const {
    const auto bytes = test::ReadBytes(windows / relative);
    return platform::ParseLink(bytes, platform::CodePage());
  }
};

struct PlacementCase {
  bool folderDesktop, folderStartMenu, desktop, startMenu;
  std::set<std::string> links;
};

TEST_F(ShortcutsTest, PlacementsFollowTheFolderAndShortcutChoices) {
  const std::string programs = "Start Menu/Programs/Tools/Editor.lnk";
  const std::string desktopFolder = "Desktop/Tools/Editor.lnk";
  const std::string startFolder = "Start Menu/Tools/Editor.lnk";
  const std::vector<PlacementCase> cases = {
      {false, false, false, false, {programs}},
      {true, false, false, false, {desktopFolder, programs}},
      {false, true, false, false, {startFolder}},
      {true, true, false, false, {desktopFolder, programs, startFolder}},
      {false, false, true, false, {programs, "Desktop/Editor.lnk"}},
      {false, false, false, true, {programs, "Start Menu/Editor.lnk"}},
      {false, true, true, true, {startFolder, "Desktop/Editor.lnk", "Start Menu/Editor.lnk"}},
  };
  for (const PlacementCase& c : cases) {
    if (fs::exists(windows))
      for (const auto& e : fs::directory_iterator(windows)) fs::remove_all(e.path());
    TShortcuts s(machine);
    Fill(s);
    s.FolderDesktop = c.folderDesktop;
    s.FolderStartMenu = c.folderStartMenu;
    s.Desktop = c.desktop;
    s.StartMenu = c.startMenu;
    const ShortcutReport report = s.CreateShortcuts();
    const std::string label = std::to_string(c.folderDesktop) + std::to_string(c.folderStartMenu) +
                              std::to_string(c.desktop) + std::to_string(c.startMenu);
    EXPECT_EQ(Links(), c.links) << label;
    EXPECT_TRUE(report.failed.empty()) << label;
    EXPECT_EQ(report.saved.size(), c.links.size()) << label;
    for (const std::string& link : c.links) {
      const platform::ParsedLink parsed = Parse(link);
      EXPECT_EQ(parsed.TargetPath(), "C:\\Apps\\Tool\\bin\\ed.exe") << link;
      EXPECT_EQ(parsed.workingDirectory, "C:\\Apps\\Tool\\bin\\") << link;
      EXPECT_EQ(parsed.iconLocation, "C:\\Apps\\Tool\\ed.ico") << link;
      EXPECT_EQ(parsed.iconIndex, 0) << link;
    }
  }
}

TEST_F(ShortcutsTest, PlacementsNameWindowsPathsInOrder) {
  TShortcuts s(machine);
  Fill(s);
  s.FolderDesktop = s.FolderStartMenu = s.Desktop = s.StartMenu = true;
  std::vector<std::string> links;
  for (const ShortcutPlacement& p : s.Placements()) links.push_back(p.link);
  EXPECT_EQ(links, (std::vector<std::string>{
                       "C:\\WINDOWS\\Desktop\\Tools\\Editor.lnk",
                       "C:\\WINDOWS\\Start Menu\\Programs\\Tools\\Editor.lnk",
                       "C:\\WINDOWS\\Start Menu\\Tools\\Editor.lnk",
                       "C:\\WINDOWS\\Desktop\\Editor.lnk",
                       "C:\\WINDOWS\\Start Menu\\Editor.lnk",
                   }));
  EXPECT_EQ(s.Placements()[1].folder, "C:\\WINDOWS\\Start Menu\\Programs\\Tools\\");
}

TEST_F(ShortcutsTest, ExistingFolderIsUsedAndMissingOnesAreMadeWithParents) {
  fs::create_directories(windows / "Start Menu" / "Programs" / "TOOLS");
  TShortcuts s(machine);
  Fill(s);
  s.CreateShortcuts();
  EXPECT_EQ(Links(), (std::set<std::string>{"Start Menu/Programs/TOOLS/Editor.lnk"}));

  s.Folder = "Vendor\\Suite";
  s.FolderDesktop = true;
  s.CreateShortcuts();
  EXPECT_TRUE(fs::is_regular_file(windows / "Desktop" / "Vendor" / "Suite" / "Editor.lnk"));
  EXPECT_TRUE(
      fs::is_regular_file(windows / "Start Menu" / "Programs" / "Vendor" / "Suite" / "Editor.lnk"));
}

TEST_F(ShortcutsTest, EveryPlacementGetsTheSameBytes) {
  fs::create_directories(windows / "Desktop");
  TShortcuts s(machine);
  Fill(s);
  s.FolderDesktop = s.FolderStartMenu = s.Desktop = s.StartMenu = true;
  s.CreateShortcuts();
  const std::set<std::string> links = Links();
  ASSERT_EQ(links.size(), 5u);
  const auto first = test::ReadBytes(windows / *links.begin());
  for (const std::string& link : links) EXPECT_EQ(test::ReadBytes(windows / link), first) << link;
}

TEST_F(ShortcutsTest, FailedSavesAreReportedAndTheOthersGoOn) {
  fs::create_directories(windows / "Desktop" / "Tools");
  test::WriteBytes(windows / "Desktop" / "Tools" / "Editor.lnk", std::string("old"));
  ASSERT_EQ(platform::SetFileAttributes(machine, "C:\\WINDOWS\\Desktop\\Tools\\Editor.lnk",
                                        platform::kFileAttributeReadonly),
            platform::kErrorSuccess);
  TShortcuts s(machine);
  Fill(s);
  s.FolderDesktop = true;
  s.Desktop = true;
  const ShortcutReport report = s.CreateShortcuts();
  ASSERT_EQ(report.failed.size(), 1u);
  EXPECT_EQ(report.failed[0].link, "C:\\WINDOWS\\Desktop\\Tools\\Editor.lnk");
  EXPECT_EQ(report.failed[0].error, platform::kErrorAccessDenied);
  EXPECT_EQ(test::ReadText(windows / "Desktop" / "Tools" / "Editor.lnk"), "old");
  EXPECT_EQ(report.saved,
            (std::vector<std::string>{"C:\\WINDOWS\\Start Menu\\Programs\\Tools\\Editor.lnk",
                                      "C:\\WINDOWS\\Desktop\\Editor.lnk"}));
}

TEST_F(ShortcutsTest, LinkWithoutAUsableTargetIsNotWritten) {
  TShortcuts s(machine);
  Fill(s);
  s.Desktop = true;
  for (const std::string& target : {std::string(), "C:\\" + std::string(300, 'x') + "\\ed.exe"}) {
    s.RunProgram = target;
    const ShortcutReport report = s.CreateShortcuts();
    EXPECT_TRUE(report.saved.empty());
    ASSERT_EQ(report.failed.size(), 2u);
    EXPECT_EQ(report.failed[0].error, platform::kErrorInvalidParameter);
    EXPECT_TRUE(Links().empty());
  }
}

TEST_F(ShortcutsTest, WorkingDirectoryIsTheTargetsDirectoryPart) {
  TShortcuts s(machine);
  Fill(s);
  s.RunProgram = "D:ed.exe";
  s.CreateShortcuts();
  EXPECT_EQ(Parse("Start Menu/Programs/Tools/Editor.lnk").workingDirectory, "D:");
  s.RunProgram = "ed.exe";  // no directory part: the link carries no working directory
  s.CreateShortcuts();
  EXPECT_FALSE(Parse("Start Menu/Programs/Tools/Editor.lnk").workingDirectory.has_value());
}

TEST_F(ShortcutsTest, FolderListHoldsVisibleNamesExceptLinks) {
  const fs::path programs = windows / "Start Menu" / "Programs";
  fs::create_directories(programs / "Accessories");
  fs::create_directories(programs / "games");
  fs::create_directories(programs / ".config");
  test::WriteBytes(programs / "readme.txt", std::string("r"));
  test::WriteBytes(programs / "Old.lnk", std::string("l"));
  test::WriteBytes(programs / "Backup.Lnk.bak", std::string("b"));
  test::WriteBytes(programs / ".profile", std::string("p"));
  test::WriteBytes(programs / "Secret.txt", std::string("s"));
  fs::create_directories(programs / "Sys");
  const bool hidden =
      platform::SetFileAttributes(machine, "C:\\WINDOWS\\Start Menu\\Programs\\Secret.txt",
                                  platform::kFileAttributeHidden) == platform::kErrorSuccess &&
      (platform::GetFileAttributes(machine, "C:\\WINDOWS\\Start Menu\\Programs\\Secret.txt") &
       platform::kFileAttributeHidden) != 0;
  if (hidden) {
    EXPECT_TRUE(platform::SetFileAttributes(machine, "C:\\WINDOWS\\Start Menu\\Programs\\Sys",
                                            platform::kFileAttributeSystem)
                    .ok());
  }

  TShortcuts s(machine);
  std::vector<std::string> expected = {"Accessories", "games", "readme.txt"};
  if (!hidden) expected = {"Accessories", "games", "readme.txt", "Secret.txt", "Sys"};
  EXPECT_EQ(s.FolderList, expected);

  // The list is taken when the component is made, and again on request.
  fs::create_directories(programs / "Later");
  EXPECT_EQ(s.FolderList, expected);
  s.RefreshFolderList();
  EXPECT_NE(std::find(s.FolderList.begin(), s.FolderList.end(), "Later"), s.FolderList.end());
}

TEST_F(ShortcutsTest, FolderListIsEmptyWithoutAProgramsFolder) {
  TShortcuts s(machine);
  EXPECT_TRUE(s.FolderList.empty());
  EXPECT_TRUE(s.RunProgram.empty());
  EXPECT_FALSE(s.Desktop || s.StartMenu || s.FolderDesktop || s.FolderStartMenu);
}

}  // namespace
}  // namespace nolvo::setup
