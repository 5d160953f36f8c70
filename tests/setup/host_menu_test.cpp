// Host menu entries with Wine's tools out of reach: written here in the desktop entry
// format, recorded, and removed again without touching anything else.
#include "setup/host_menu.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/registry.h"
#include "setup/desktop_file.h"
#include "setup/shortcut_record.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_machine.h"

namespace nolvo::setup {
namespace {

namespace fs = std::filesystem;

TEST(DesktopFile, ExecArgumentsAreQuotedAndEscapedAsTheFormatWants) {
  const std::pair<const char*, const char*> cases[] = {
      {"wine", "wine"},
      {"WINEPREFIX=/p", "WINEPREFIX=/p"},
      {"C:\\a b\\x.lnk", "\"C:\\\\a b\\\\x.lnk\""},
      {"100%", "100%%"},
      {"$HOME`\"", "\"\\$HOME\\`\\\"\""},
      {"", "\"\""},
  };
  for (const auto& [arg, quoted] : cases) EXPECT_EQ(QuoteExecArgument(arg), quoted) << arg;
  const std::string text = FormatDesktopFile({"Tab\there", {"wine", "C:\\x y.lnk"}, "/i.ico"});
  EXPECT_EQ(text,
            "[Desktop Entry]\nType=Application\nName=Tab\\there\n"
            "Exec=wine \"C:\\\\\\\\x y.lnk\"\nIcon=/i.ico\nStartupNotify=true\n");
  EXPECT_EQ(DesktopEntryValue(text, "Exec"), "wine \"C:\\\\x y.lnk\"");
  EXPECT_EQ(DesktopEntryValue(text, "Name"), "Tab\there");
  EXPECT_EQ(DesktopEntryValue("[Other]\nName=x\n", "Name"), std::nullopt);
}

TEST(ShortcutRecord, AWinePrefixRecordsTheLinkFilesThemselves) {
  test::TestMachine tm;
  TShortcuts s(tm.Machine(), {"C:\\u\\Desktop", "C:\\u\\Start", "C:\\u\\Start\\Programs", true});
  s.Folder = "Tools";
  s.ProgramName = "Ed";
  s.Desktop = s.StartMenu = s.FolderDesktop = true;
  const std::vector<std::pair<bool, std::string>> expected = {
      {true, "C:\\u\\Desktop\\Tools"},         {false, "C:\\u\\Desktop\\Tools\\Ed.lnk"},
      {false, "C:\\u\\Desktop\\Ed.lnk"},       {false, "C:\\u\\Start\\Ed.lnk"},
      {true, "C:\\u\\Start\\Programs\\Tools"}, {false, "C:\\u\\Start\\Programs\\Tools\\Ed.lnk"}};
  for (const bool exact : {true, false}) {
    const auto keys = ShortcutRecordKeys(s, exact);
    ASSERT_EQ(keys.size(), expected.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
      std::string key = expected[i].second;
      if (!exact && !expected[i].first) key.replace(key.size() - 4, 4, ".*");
      EXPECT_EQ(keys[i].folder, expected[i].first);
      EXPECT_EQ(keys[i].key, key);
    }
  }
}

class HostMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    // The user's desktop lies outside the prefix, as Wine links it to the home folder.
    fs::create_directories(tm.DriveC() / "users/me/Start Menu");
    fs::create_directories(home);
    fs::create_directory_symlink(home, tm.DriveC() / "users/me/Desktop");
    fs::create_directories(tm.DriveC() / "Apps");
    test::WriteBytes(tm.DriveC() / "Apps/ed.exe", "MZ");
    test::WriteBytes(tm.DriveC() / "Apps/ed.ico", "icon");
    test::WriteBytes(home / "Editor.txt", "the user's own");
    fs::create_directories(tm.Root() / "empty-bin");
  }

  std::vector<std::string> MakeLinks() {
    TShortcuts s(tm.Machine(), shell);
    s.RunProgram = "C:\\Apps\\ed.exe";
    s.IconFile = "C:\\Apps\\ed.ico";
    s.Folder = "Tools";
    s.ProgramName = "Editor";
    s.Desktop = s.StartMenu = true;
    return s.CreateShortcuts().saved;
  }

  test::TestMachine tm;
  fs::path home = tm.Root() / "home";
  fs::path xdg = tm.Root() / "xdg";
  platform::ShellFolders shell{"C:\\users\\me\\Desktop", "C:\\users\\me\\Start Menu",
                               "C:\\users\\me\\Start Menu\\Programs", true};
  HostMenuFolders host{xdg / "applications", xdg / "menus/applications-merged",
                       xdg / "desktop-directories", xdg / "icons"};
};

TEST_F(HostMenu, WithoutWineTheEntriesAreWrittenHereRecordedAndRemovedAgain) {
  const std::vector<std::string> links = MakeLinks();
  ASSERT_EQ(links.size(), 3u);
  test::ScopedEnv path("PATH", (tm.Root() / "empty-bin").string());
  const HostMenuResult made = MakeHostMenu(tm.Machine(), shell, links, host);
  EXPECT_FALSE(made.winemenubuilder);
  EXPECT_TRUE(made.problems.empty());

  const fs::path programs = host.applications / "wine/Programs/Tools/Editor.desktop";
  const fs::path top = host.applications / "wine/Editor.desktop";
  const fs::path desktop = tm.DriveC() / "users/me/Desktop/Editor.desktop";
  const std::vector<fs::path> expected = {host.applications,
                                          host.applications / "wine",
                                          host.applications / "wine/Programs",
                                          host.applications / "wine/Programs/Tools",
                                          programs,
                                          desktop,
                                          top};
  EXPECT_EQ(made.made, expected);
  const std::string entry = test::ReadText(programs);
  EXPECT_EQ(DesktopEntryValue(entry, "Name"), "Editor");
  EXPECT_EQ(DesktopEntryValue(entry, "Exec"),
            "env " + QuoteExecArgument("WINEPREFIX=" + tm.Machine().Prefix().string()) +
                " wine \"C:\\\\users\\\\me\\\\Start Menu\\\\Programs\\\\Tools\\\\Editor.lnk\"");
  EXPECT_EQ(DesktopEntryValue(entry, "Icon"), (tm.DriveC() / "Apps/ed.ico").string());
  EXPECT_TRUE(fs::exists(home / "Editor.desktop"));

  const std::string record = "C:\\Apps\\uninstall.cfg";
  RecordHostMenu(tm.Machine(), record, made.made);
  std::vector<fs::path> recorded = ReadHostMenuRecord(tm.Machine(), record);
  ASSERT_EQ(recorded.size(), expected.size());
  EXPECT_EQ(recorded[0], host.applications.string() + "/");
  EXPECT_EQ(recorded.back(), top);

  // A record that names other files (by mistake or on purpose) takes none of them.
  test::WriteBytes(tm.Root() / "outside.desktop", "x");
  recorded.push_back(tm.Root() / "outside.desktop");
  recorded.push_back(home / "Editor.txt");
  // Wine's note of an entry goes; its notes key, made by Wine, stays.
  platform::Registry registry;
  std::string note = "\\\\?\\unix" + top.string();
  std::replace(note.begin(), note.end(), '/', '\\');
  registry.WriteString(platform::kHKeyCurrentUser, "Software\\Wine\\MenuFiles", note, "x");
  UninstallReport report;
  RemoveHostMenu(tm.Machine(), registry, shell, recorded, host, false, report);
  EXPECT_EQ(report.removed.size(), expected.size() + 1);
  EXPECT_TRUE(registry.KeyExists(platform::kHKeyCurrentUser, "Software\\Wine\\MenuFiles"));
  EXPECT_TRUE(registry.Values(platform::kHKeyCurrentUser, "Software\\Wine\\MenuFiles").empty());
  EXPECT_EQ(report.refused.size(), 2u);
  EXPECT_FALSE(fs::exists(host.applications));
  EXPECT_FALSE(fs::exists(home / "Editor.desktop"));
  EXPECT_TRUE(fs::exists(home / "Editor.lnk"));  // the uninstaller proper removes links
  EXPECT_TRUE(fs::exists(home / "Editor.txt"));
  EXPECT_TRUE(fs::exists(tm.Root() / "outside.desktop"));
}

}  // namespace
}  // namespace nolvo::setup
