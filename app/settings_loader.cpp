#include "app/settings_loader.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>

namespace nolvo::app {

namespace {

// Reads every key name of a list section (within the 8192-byte list) and keeps the values
// in file order.
std::vector<std::string> ReadList(const platform::ProfileReader& profile, TypedReader& reader,
                                  const char* section) {
  std::vector<std::string> values;
  for (const std::string& key : profile.ReadKeyNames(section)) {
    if (profile.ValueWasCut(section, key))
      reader.AddDiagnostic(
          fmt::format("[{}] \"{}\": value longer than 1023 characters was cut", section, key));
    values.push_back(profile.ReadString(section, key, ""));
  }
  if (const std::size_t lost = profile.KeyNamesLost(section))
    reader.AddDiagnostic(fmt::format(
        "[{}]: {} key name(s) beyond the 8192-byte name list are not seen", section, lost));
  return values;
}

void ReadHeader(TypedReader& reader, const std::string& prefix, HeaderStyle& style) {
  style.Text = reader.ReadString(kMainSection, prefix, style.Text);
  style.FontName = reader.ReadString(kMainSection, prefix + " Font Name", style.FontName);
  style.FontSize = reader.ReadInteger(kMainSection, prefix + " Font Size", style.FontSize);
  style.FontColor = reader.ReadColour(kMainSection, prefix + " Font Color", style.FontColor);
  style.ShadowColor = reader.ReadColour(kMainSection, prefix + " Font Shadow", style.ShadowColor);
}

bool ContainsSetupDot(const std::string& text) {
  std::string upper = text;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper.find("SETUP.") != std::string::npos;
}

}  // namespace

LoadResult LoadSettings(const platform::ProfileReader& profile, const MainScreenModel& screen) {
  LoadResult result;
  result.Screen = screen;
  SetupSettings& s = result.Settings;
  TypedReader reader(profile);

  s.InstallDisks = reader.ReadInteger(kMainSection, "Install Disks", 0);
  s.InstallDir = reader.ReadString(kMainSection, "Install Dir", "");
  s.IniFileName = reader.ReadString(kMainSection, "INI File", "");
  s.LaunchProgram = reader.ReadString(kMainSection, "Launch", "");
  s.MainFolder = reader.ReadString(kMainSection, "Folder", "Accessories");
  s.AddToProgramFiles = reader.ReadBool(kMainSection, "Add to Program Files", false);
  s.ShowWarningScreen = reader.ReadBool(kMainSection, "Show Warning Screen", true);
  s.ShowReBoot = reader.ReadBool(kMainSection, "Show Re-Boot", true);
  s.WorkStationPrompt = reader.ReadBool(kMainSection, "Work Station Prompt", false);
  s.BitmapFile = reader.ReadString(kMainSection, "Bitmap File", "");
  s.AlignCenter = reader.ReadBool(kMainSection, "Align Center", false);
  s.AlignLeft = reader.ReadBool(kMainSection, "Align Left", true);
  s.AlignRight = reader.ReadBool(kMainSection, "Align Right", false);

  MainScreenModel& m = result.Screen;
  m.FromColor = reader.ReadColour(kMainSection, "Dither From", m.FromColor);
  m.ToColor = reader.ReadColour(kMainSection, "Dither To", m.ToColor);
  ReadHeader(reader, "Header", m.Header);
  ReadHeader(reader, "Header2", m.Header2);

  s.DirectoryList = ReadList(profile, reader, "Directories");
  s.FileList = ReadList(profile, reader, "Files");
  for (std::size_t n = 0; n < s.FileList.size(); ++n) {
    const bool ask = reader.ReadBool(kOverwriteSection, "File #" + std::to_string(n), false);
    s.FileList[n] += ask ? "~X" : "~";
  }
  s.DesktopList = ReadList(profile, reader, "Desktop");
  s.IniSetupList = ReadList(profile, reader, "INI - Setup");
  s.WorkStationList = ReadList(profile, reader, "WorkStation");

  m.WindowColor = m.FromColor;

  // The finish choice: launch unless there is nothing to launch (or only a setup program).
  FinishChoiceState& finish = result.Wizard.Finish;
  finish.RebootVisible = s.ShowReBoot;
  if (s.LaunchProgram.empty() || ContainsSetupDot(s.LaunchProgram)) {
    finish.Selected = FinishChoice::fcReturn;
    finish.LaunchEnabled = false;
    if (s.ShowReBoot) finish.Selected = FinishChoice::fcReboot;
  } else {
    finish.Selected = FinishChoice::fcLaunch;
  }

  // Without the warning screen the wizard opens on the licence page, Next disabled until
  // Accept (this advance never skips the licence page).
  if (!s.ShowWarningScreen) {
    result.Wizard.PageIndex = 1;
    result.Wizard.NextEnabled = false;
    result.Wizard.BackEnabled = true;
  }

  result.Records = reader.Records();
  result.Diagnostics = reader.Diagnostics();
  return result;
}

}  // namespace nolvo::app
