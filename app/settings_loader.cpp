#include "app/settings_loader.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "platform/ascii.h"
#include "platform/win_path.h"

namespace nolvo::app {

namespace {

// The diagnostics a setup reading the list through the profile API would give rise to:
// duplicate keys (each lookup returns the first value) and names past the 8192-byte list.
void DiagnoseKeyNames(const platform::ProfileReader& profile, TypedReader& reader,
                      const char* section, const std::vector<platform::ProfileLine>& keys) {
  struct Uses {
    std::string spelling;  // as first written
    std::vector<std::size_t> lines;
  };
  std::map<std::string, std::size_t> index;  // upper-case name -> position in `uses`
  std::vector<Uses> uses;
  for (const auto& k : keys) {
    const auto [it, added] = index.emplace(platform::AsciiUpper(k.name), uses.size());
    if (added) uses.push_back({k.name, {}});
    uses[it->second].lines.push_back(k.number);
  }
  for (const auto& u : uses) {
    if (u.lines.size() < 2) continue;
    std::string where;
    for (std::size_t i = 0; i < u.lines.size(); ++i)
      where += (i == 0                    ? ""
                : i + 1 == u.lines.size() ? " and "
                                          : ", ") +
               std::to_string(u.lines[i]);
    reader.AddDiagnostic(fmt::format(
        "[{}] the key \"{}\" is used on lines {}: every entry is installed, but a setup that "
        "reads keys through the profile API would take the first value each time",
        section, u.spelling, where));
  }
  const std::size_t seen = keys.size() - profile.KeyNamesLost(section);
  if (seen < keys.size())
    reader.AddDiagnostic(fmt::format(
        "[{}] the key names need more than the profile API's {}-byte key list: every entry "
        "is installed, but a setup reading through that API would drop the {} entries from "
        "line {} (key \"{}\") on",
        section, platform::kProfileNameListBuffer, keys.size() - seen, keys[seen].number,
        keys[seen].name));
}

// Every key line of a list section is one entry, in file order.
std::vector<std::string> ReadList(const platform::ProfileReader& profile, TypedReader& reader,
                                  const char* section) {
  const platform::ProfileSectionLines lines = profile.Text().SectionLines(section);
  std::vector<std::string> values;
  values.reserve(lines.keys.size());
  for (const auto& k : lines.keys) {
    // A NUL byte ends the value, as the profile API's C strings end there.
    std::string value = k.value.substr(0, k.value.find('\0'));
    if (value.size() > platform::kProfileValueBuffer - 1) {
      reader.AddDiagnostic(
          fmt::format("[{}] line {} (\"{}\"): value longer than 1023 characters was cut", section,
                      k.number, k.name));
      value.resize(platform::kProfileValueBuffer - 1);
    }
    values.push_back(std::move(value));
  }
  DiagnoseKeyNames(profile, reader, section, lines.keys);
  for (const auto& other : lines.others)
    reader.AddDiagnostic(
        fmt::format("[{}] line {}: \"{}\" has no \"=\", so it is no entry and is not used", section,
                    other.number, other.value),
        true);
  for (const auto& again : lines.repeated)
    reader.AddDiagnostic(
        fmt::format("[{}] line {}: \"{}={}\" lies in a second [{}] section, which is not read",
                    section, again.number, again.name, again.value, section),
        true);
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
  return platform::AsciiUpper(text).find("SETUP.") != std::string::npos;
}

}  // namespace

LoadResult LoadSettings(const platform::ProfileReader& profile, const MainScreenModel& screen) {
  LoadResult result;
  result.Screen = screen;
  result.Encoding = profile.Text().Encoding();
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
  for (const std::size_t line : profile.Text().UnmappedLines())
    result.Diagnostics.push_back(
        {fmt::format("line {} holds characters that code page {} lacks; they read as \"?\"", line,
                     profile.Text().CodePageName())});
  return result;
}

}  // namespace nolvo::app
