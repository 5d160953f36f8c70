#include "app/settings_loader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/settings_diagnostics.h"
#include "tests/support/temp_dir.h"

namespace nolvo::app {
namespace {

LoadResult Load(const std::string& text) {
  return LoadSettings(platform::ProfileReader(platform::ProfileText::Parse(text)));
}

TEST(ParseInteger, DecimalAndBothHexForms) {
  EXPECT_EQ(ParseInteger("42"), 42);
  EXPECT_EQ(ParseInteger("-7"), -7);
  EXPECT_EQ(ParseInteger("0x0000FF"), 255);
  EXPECT_EQ(ParseInteger("$FF00"), 0xFF00);
  EXPECT_EQ(ParseInteger("0X80000005"), static_cast<std::int32_t>(0x80000005u));
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseInteger("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseInteger("0x00000000FF"), 255);  // leading zeros do not count
  EXPECT_EQ(ParseInteger("$000080000005"), static_cast<std::int32_t>(0x80000005u));
  for (const char* bad : {"", "0x", "blue", "yes", "12a", "$", "2147483648", "0x123456789", "$G"})
    EXPECT_FALSE(ParseInteger(bad)) << bad;
}

TEST(SettingsLoader, MissingFileGivesEveryDefault) {
  test::TempDir dir;
  const auto r = LoadSettings(platform::ProfileReader(dir.Path() / "install.cfg"));
  EXPECT_EQ(r.Settings.MainFolder, "Accessories");
  EXPECT_TRUE(r.Settings.ShowWarningScreen);
  EXPECT_TRUE(r.Settings.AlignLeft);
  EXPECT_TRUE(r.Settings.FileList.empty());
  EXPECT_EQ(r.Screen.FromColor, 0xFF0000u);
  EXPECT_EQ(r.Screen.Header.Text, "Nolvo - Pakmora 32Bit");
  EXPECT_EQ(r.Screen.Header.FontName, "Impact");
  EXPECT_EQ(r.Screen.Header2.FontSize, 10);
  for (const auto& rec : r.Records) EXPECT_FALSE(rec.FromFile) << rec.Key;
  // Nothing to launch: the launch choice is disabled and the shown reboot choice wins.
  EXPECT_FALSE(r.Wizard.Finish.LaunchEnabled);
  EXPECT_EQ(r.Wizard.Finish.Selected, FinishChoice::fcReboot);
}

TEST(SettingsLoader, EmptyValuesConversionsAndColours) {
  const auto r = Load(
      "[Setup - Main]\nFolder=\nDither From=0x0000FF\nDither To=$FF00\n"
      "Show Warning Screen=yes\nHeader Font Color=blue\nAdd to Program Files=2\n");
  EXPECT_EQ(r.Settings.MainFolder, "");
  EXPECT_EQ(r.Screen.FromColor, 0x0000FFu);
  EXPECT_EQ(r.Screen.WindowColor, 0x0000FFu);
  EXPECT_EQ(r.Screen.ToColor, 0x00FF00u);
  EXPECT_TRUE(r.Settings.ShowWarningScreen);
  EXPECT_TRUE(r.Settings.AddToProgramFiles);
  EXPECT_EQ(r.Screen.Header.FontColor, 0u);
  EXPECT_EQ(r.Diagnostics.size(), 2u);
  const auto blue = Load("[Setup - Main]\nDither From=blue\n");
  EXPECT_EQ(blue.Screen.FromColor, 0xFF0000u);
}

TEST(SettingsLoader, HeaderDefaultsApplyPerKey) {
  MainScreenModel screen;
  screen.Header2.Text = "Current text";
  const auto r = LoadSettings(platform::ProfileReader(platform::ProfileText::Parse(
                                  "[setup - main]\nheader font color=255\nHeader2 Font Size=14\n")),
                              screen);
  EXPECT_EQ(r.Screen.Header.Text, "Nolvo - Pakmora 32Bit");
  EXPECT_EQ(r.Screen.Header.FontColor, 255u);
  EXPECT_EQ(r.Screen.Header.FontName, "Impact");
  EXPECT_EQ(r.Screen.Header2.Text, "Current text");
  EXPECT_EQ(r.Screen.Header2.FontSize, 14);
}

TEST(SettingsLoader, ListsKeepFileOrderAndFilesCarryOverwriteMarkers) {
  const auto r = Load(
      "[Files]\nA=a.exe~<INSTALLDIR>\nB=b.dll~<WINDOWS_SYSTEM>\nC=c.txt~<INSTALLDIR>\n"
      "[Files - OverWrite]\nFile #1=1\nFile #0=0\nFile #2=x\n"
      "[Directories]\nz=<INSTALLDIR>~\na=<SUB1>~Data\n;c=<SUB2>~skip\nnoequals\n"
      "[WorkStation]\nw=w.exe~<INSTALLDIR>~X\n");
  EXPECT_EQ(r.Settings.FileList,
            (std::vector<std::string>{"a.exe~<INSTALLDIR>~", "b.dll~<WINDOWS_SYSTEM>~X",
                                      "c.txt~<INSTALLDIR>~"}));
  EXPECT_EQ(r.Settings.DirectoryList, (std::vector<std::string>{"<INSTALLDIR>~", "<SUB1>~Data"}));
  EXPECT_EQ(r.Settings.WorkStationList, (std::vector<std::string>{"w.exe~<INSTALLDIR>~X"}));
}

TEST(SettingsLoader, FinishChoiceAndWarningScreen) {
  auto r = Load("[Setup - Main]\nLaunch=<INSTALLDIR>app.exe\nShow Warning Screen=0\n");
  EXPECT_EQ(r.Wizard.Finish.Selected, FinishChoice::fcLaunch);
  EXPECT_TRUE(r.Wizard.Finish.LaunchEnabled);
  EXPECT_EQ(r.Wizard.PageIndex, 1);
  EXPECT_FALSE(r.Wizard.NextEnabled);
  r = Load("[Setup - Main]\nLaunch=<INSTALLDIR>Setup.exe\nShow Re-Boot=0\n");
  EXPECT_FALSE(r.Wizard.Finish.LaunchEnabled);
  EXPECT_FALSE(r.Wizard.Finish.RebootVisible);
  EXPECT_EQ(r.Wizard.Finish.Selected, FinishChoice::fcReturn);
  r = Load("[Setup - Main]\nLaunch=<INSTALLDIR>install.exe\n");
  EXPECT_TRUE(r.Wizard.Finish.LaunchEnabled);
  EXPECT_EQ(r.Wizard.PageIndex, 0);
}

TEST(SettingsLoader, GarbageLoadsWhatParses) {
  std::string text = "\x01\x02\xff binary\n[Setup - Main]\nno equals here\nInstall Dir=App\n";
  text += "Header=" + std::string(8 * 1024 * 1024, 'h') + "\n";
  text += std::string("\0\0=\0\n", 5);
  const auto r = Load(text);
  EXPECT_EQ(r.Settings.InstallDir, "App");
  EXPECT_EQ(r.Screen.Header.Text.size(), 1023u);
  ASSERT_FALSE(r.Diagnostics.empty());
  EXPECT_NE(r.Diagnostics[0].Text.find("cut"), std::string::npos);
}

TEST(SettingsLoader, ANulByteEndsTheValue) {
  using namespace std::string_literals;
  const struct {
    std::string text;
    std::string header, firstDirectory;
  } cases[] = {
      {"[Setup - Main]\nHeader=Tiny\0 1.0\n"s, "Tiny", ""},
      {"[Directories]\nD1=<SUB1>~Da\0ta\n"s, "Nolvo - Pakmora 32Bit", "<SUB1>~Da"},
      {"[Setup - Main]\nHeader=\0x\n"s, "", ""},
  };
  for (const auto& c : cases) {
    const auto r = Load(c.text);
    EXPECT_EQ(r.Screen.Header.Text, c.header);
    EXPECT_EQ(r.Settings.DirectoryList.empty() ? "" : r.Settings.DirectoryList[0],
              c.firstDirectory);
  }
}

bool Says(const LoadResult& r, const std::string& part, bool unused) {
  return std::any_of(r.Diagnostics.begin(), r.Diagnostics.end(), [&](const LoadDiagnostic& d) {
    return d.Text.find(part) != std::string::npos && d.LineUnused == unused;
  });
}

TEST(SettingsLoader, EveryLineOfAListIsAnEntryWhateverItsKey) {
  // 1,500 entries with 12-character keys: far past the 8192-byte key list.
  std::string text = "[Files]\n";
  for (int i = 0; i < 1500; ++i)
    text += "entry-" + std::to_string(100000 + i) + "=f" + std::to_string(i) + "~<INSTALLDIR>\n";
  text += "entry-100001=again~<INSTALLDIR>\nno equals sign\n[Desktop]\n[files]\nlost=x~<WINDOWS>\n";
  const auto r = Load(text);
  ASSERT_EQ(r.Settings.FileList.size(), 1501u);
  EXPECT_EQ(r.Settings.FileList[1], "f1~<INSTALLDIR>~");
  EXPECT_EQ(r.Settings.FileList[1500], "again~<INSTALLDIR>~");  // the duplicate key's own value
  EXPECT_TRUE(Says(r, "[Files] the key \"entry-100001\" is used on lines 3 and 1502", false));
  EXPECT_TRUE(Says(r, "8192-byte key list", false));
  EXPECT_TRUE(Says(r, "from line 632 (key \"entry-100630\") on", false));
  EXPECT_TRUE(Says(r, "[Files] line 1503: \"no equals sign\" has no \"=\"", true));
  EXPECT_TRUE(
      Says(r, "[Files] line 1506: \"lost=x~<WINDOWS>\" lies in a second [Files] section", true));
}

TEST(SettingsLoader, UnicodeFilesAreReadAndWhatTheCodePageLacksIsNamed) {
  const std::string text = "[Setup - Main]\r\nInstall Dir=Caf\xC3\xA9\r\nHeader=\xE4\xB8\xAD\r\n";
  const auto r = Load("\xEF\xBB\xBF" + text);
  EXPECT_EQ(r.Encoding, platform::ProfileEncoding::peUtf8Bom);
  EXPECT_EQ(r.Settings.InstallDir, "Caf\xE9");
  EXPECT_EQ(r.Screen.Header.Text, "?");
  EXPECT_TRUE(Says(r, "line 3 holds characters that code page 1252 lacks", false));
  const auto utf16 = Load("\xFF\xFE" + platform::Utf8ToUtf16Le(text));
  EXPECT_EQ(utf16.Encoding, platform::ProfileEncoding::peUtf16LeBom);
  EXPECT_EQ(utf16.Settings.InstallDir, "Caf\xE9");
}

TEST(SettingsDiagnostics, AnInstallDirectoryOfItsOwnIsRequired) {
  const std::pair<std::string, const char*> cases[] = {
      {"Install Dir=App\n", nullptr},
      {"",
       "\"Install Dir\" is empty, so the installation directory comes out as the drive root C:\\"},
      {"Add to Program Files=1\n",
       "comes out as the Program Files folder C:\\Program Files itself"},
      {"Install Dir=WINDOWS\n", "comes out as the Windows directory C:\\WINDOWS itself"},
      {"Install Dir=App\\..\\..\n", "comes out as the drive root C:\\"},
      {"Install Dir=windows\\temp\\Q\\App\n",
       "in the setup's temporary folder C:\\WINDOWS\\Temp\\q"},
      {"Install Dir=WINDOWS\\Temp\\Quick\n", nullptr},
      {"Install Dir=Z:\\Apps\n", "\"C:\\Z:\\Apps\" comes out as no valid Windows path"},
      {"Install Dir=App?\n", "comes out as no valid Windows path"},
  };
  for (const auto& [line, problem] : cases) {
    const auto r = Load("[Setup - Main]\n" + line);
    const auto found = DestinationProblem(r.Settings, "C:\\", "C:\\WINDOWS");
    ASSERT_EQ(found.has_value(), problem != nullptr) << line;
    if (problem) {
      EXPECT_NE(found->find(problem), std::string::npos) << *found;
    }
  }
}

}  // namespace
}  // namespace nolvo::app
