#include "app/settings_diagnostics.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "platform/ascii.h"
#include "platform/win_path.h"
#include "util/split_at_char.h"

namespace nolvo::app {

namespace {

// Field `index` (from 0) of a "~"-separated entry, taken as the engine takes it.
std::string Field(std::string entry, int index) {
  std::string head;
  for (int i = 0; i <= index; ++i) util::SplitAtChar(entry, '~', head);
  return head;
}

// A token that leads a field: the text up to and including the first ">".
std::string LeadingToken(const std::string& field) {
  const auto close = field.find('>');
  return close == std::string::npos ? field : field.substr(0, close + 1);
}

}  // namespace

std::string WithoutOverwriteMarker(const std::string& entry) {
  if (entry.size() >= 2 && entry.compare(entry.size() - 2, 2, "~X") == 0)
    return entry.substr(0, entry.size() - 2);
  if (!entry.empty() && entry.back() == '~') return entry.substr(0, entry.size() - 1);
  return entry;
}

std::string ProposedDestination(const SetupSettings& s, const std::string& winDrive) {
  return winDrive + (s.AddToProgramFiles ? "Program Files\\" : "") + s.InstallDir;
}

std::optional<std::string> DestinationProblem(const SetupSettings& s, const std::string& winDrive,
                                              const std::string& windowsDir) {
  const std::string proposed = ProposedDestination(s, winDrive);
  std::string full;
  if (!platform::FullPathName(proposed, platform::DriveDirectories{}, full).ok()) full = proposed;
  if (full.size() > 3 && full.back() == '\\') full.pop_back();
  const bool blank = s.InstallDir.find_first_not_of(" .\\/") == std::string::npos;
  // A name may not hold a control character or one of <>:"|?*, so "C:\\Other" below the root fails.
  const bool invalid =
      full.size() > 3 && std::any_of(full.begin() + 3, full.end(), platform::InvalidNameChar);
  std::string what;
  if (invalid)
    what = "no valid Windows path (a name holds a control character or one of <>:\"|?*)";
  else if (full.size() <= 3)
    what = "the drive root " + full;
  else if (platform::EqualsIgnoreCase(full, windowsDir))
    what = "the Windows directory " + full + " itself";
  else if (platform::EqualsIgnoreCase(full, winDrive + "Program Files"))
    what = "the Program Files folder " + full + " itself";
  else if (platform::AsciiUpper(full + "\\")
               .starts_with(platform::AsciiUpper(windowsDir) + "\\TEMP\\Q\\"))
    what = "a folder in the setup's temporary folder " + windowsDir +
           "\\Temp\\q, which the setup empties at its end";
  else
    return std::nullopt;
  if (blank) return "\"Install Dir\" is empty, so the installation directory comes out as " + what;
  return "the installation directory \"" + proposed + "\" comes out as " + what;
}

std::vector<std::string> DiagnoseSettings(const SetupSettings& s) {
  std::vector<std::string> out;
  std::set<std::string> bound;
  std::map<std::string, int> bindings;
  for (const auto& entry : s.DirectoryList) {
    bound.insert(platform::AsciiUpper(Field(entry, 0)));
    ++bindings[platform::AsciiUpper(Field(entry, 0))];
  }
  for (const auto& [token, count] : bindings)
    if (count > 1)
      out.push_back(fmt::format(
          "[Directories] binds the token \"{}\" {} times: its entries are installed once per "
          "binding, and a file whose temporary copy went with the first is not installed again",
          token, count));
  if (!bound.count("<INSTALLDIR>"))
    out.push_back("[Directories] has no \"<INSTALLDIR>\" entry: nothing can be installed");

  auto check = [&](const char* section, const std::string& entry, const std::string& token) {
    if (entry.find('~') == std::string::npos)
      out.push_back(fmt::format("[{}] \"{}\": no \"~\" separates its fields, so it is never used",
                                section, entry));
    else if (!bound.count(platform::AsciiUpper(token)))
      out.push_back(fmt::format("[{}] \"{}\": no [Directories] entry binds the token \"{}\"",
                                section, entry, token));
  };
  for (const auto& e : s.FileList) check("Files", WithoutOverwriteMarker(e), Field(e, 1));
  for (const auto& e : s.WorkStationList) check("WorkStation", e, Field(e, 1));
  for (const auto& e : s.DesktopList) check("Desktop", e, LeadingToken(Field(e, 1)));
  for (const auto& e : s.IniSetupList) check("INI - Setup", e, LeadingToken(Field(e, 2)));
  // The engine turns "Launch" into a full path through the first bound token it holds;
  // without one the program is left as written and cannot be started.
  if (!s.LaunchProgram.empty() &&
      std::none_of(bound.begin(), bound.end(), [&](const std::string& token) {
        return !token.empty() &&
               platform::AsciiUpper(s.LaunchProgram).find(token) != std::string::npos;
      }))
    out.push_back(fmt::format(
        "\"Launch\" \"{}\": no [Directories] entry binds a token it holds, so it is never started",
        s.LaunchProgram));
  // "Work Station Prompt" preselects the network-minimum installation, which takes
  // [WorkStation] in place of [Files].
  if (s.WorkStationPrompt && s.WorkStationList.empty() && !s.FileList.empty())
    out.push_back(
        "\"Work Station Prompt\" is 1 but [WorkStation] is empty: the preselected "
        "network-minimum installation installs none of the [Files] entries");
  if (!s.IniSetupList.empty() && s.IniFileName.empty())
    out.push_back(
        fmt::format("[INI - Setup] has {} entr{} but \"INI File\" is empty: they are never written",
                    s.IniSetupList.size(), s.IniSetupList.size() == 1 ? "y" : "ies"));
  if (const auto problem = DestinationProblem(s, "C:\\", "C:\\WINDOWS"))
    out.push_back(*problem + ": an unattended installation refuses it unless --dir names it");
  return out;
}

}  // namespace nolvo::app
