#include "cli/install_choices.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>

#include "platform/ascii.h"
#include "platform/profile_file.h"
#include "setup/desktop_entry.h"
#include "setup/wizard.h"

namespace nolvo::cli {

namespace {

constexpr const char* kSection = "Answers";

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= text.size() && !text.empty()) {
    const auto bar = text.find('|', start);
    out.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return out;
}

std::string JoinList(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& i : items) out += (out.empty() ? "" : "|") + i;
  return out;
}

}  // namespace

std::string AnswersProblem(const std::filesystem::path& file) {
  const platform::ProfileReader r(file);
  const platform::ProfileSectionLines lines = r.Text().SectionLines(kSection);
  // What --save-answers writes, with the values each key may hold (none: any text).
  const std::vector<std::pair<std::string, std::vector<std::string>>> known = {
      {"Dir", {}},
      {"Type", {"full", "minimum"}},
      {"Finish", {"launch", "return", "reboot"}},
      {"NoDesktop", {}},
      {"NoStartMenu", {}},
      {"FolderDesktop", {"0", "1"}},
      {"FolderStartMenu", {"0", "1"}},
      {"Overwrite", {"yes", "no"}},
      {"AcceptLicense", {"0", "1"}},
  };
  for (const auto& line : lines.keys) {
    const auto it = std::find_if(known.begin(), known.end(), [&](const auto& k) {
      return platform::EqualsIgnoreCase(k.first, line.name);
    });
    if (it == known.end())
      return fmt::format("{}: line {}: [{}] has no key \"{}\"", file.string(), line.number,
                         kSection, line.name);
    if (!it->second.empty() &&
        std::find(it->second.begin(), it->second.end(), line.value) == it->second.end())
      return fmt::format("{}: line {}: {} must be {}, not \"{}\"", file.string(), line.number,
                         it->first, fmt::join(it->second, " or "), line.value);
  }
  if (!lines.others.empty())
    return fmt::format("{}: line {}: not a key line: \"{}\"", file.string(),
                       lines.others.front().number, lines.others.front().value);
  return {};
}

InstallChoices InstallChoices::Load(const std::filesystem::path& file) {
  const platform::ProfileReader r(file);
  InstallChoices c;
  auto opt = [&](const char* key) -> std::optional<std::string> {
    if (!r.Text().Find(kSection, key)) return std::nullopt;
    return r.ReadString(kSection, key, "");
  };
  c.Dir = opt("Dir");
  c.Type = opt("Type");
  c.Finish = opt("Finish");
  c.NoDesktop = SplitList(r.ReadString(kSection, "NoDesktop", ""));
  c.NoStartMenu = SplitList(r.ReadString(kSection, "NoStartMenu", ""));
  c.FolderDesktop = r.ReadString(kSection, "FolderDesktop", "0") == "1";
  c.FolderStartMenu = r.ReadString(kSection, "FolderStartMenu", "0") == "1";
  c.Overwrite = r.ReadString(kSection, "Overwrite", "no") == "yes";
  c.AcceptLicense = r.ReadString(kSection, "AcceptLicense", "0") == "1";
  return c;
}

bool InstallChoices::Save(const std::filesystem::path& file) const {
  auto put = [&](const char* key, const std::string& value) {
    return platform::WriteProfileString(file, kSection, key, value.c_str());
  };
  bool ok = true;
  if (Dir) ok &= put("Dir", *Dir);
  if (Type) ok &= put("Type", *Type);
  if (Finish) ok &= put("Finish", *Finish);
  ok &= put("NoDesktop", JoinList(NoDesktop));
  ok &= put("NoStartMenu", JoinList(NoStartMenu));
  ok &= put("FolderDesktop", FolderDesktop ? "1" : "0");
  ok &= put("FolderStartMenu", FolderStartMenu ? "1" : "0");
  ok &= put("Overwrite", Overwrite ? "yes" : "no");
  ok &= put("AcceptLicense", AcceptLicense ? "1" : "0");
  return ok;
}

std::string CheckChoices(const InstallChoices& c, const app::SetupSettings& settings,
                         const app::FinishChoiceState& finish) {
  if (c.Type && *c.Type != "full" && *c.Type != "minimum")
    return fmt::format("--type must be full or minimum, not \"{}\"", *c.Type);
  if (c.Type == "minimum" && !settings.WorkStationPrompt)
    return "--type minimum: this product offers no network-minimum installation "
           "(\"Work Station Prompt\" is 0)";
  if (c.Finish) {
    if (*c.Finish != "launch" && *c.Finish != "return" && *c.Finish != "reboot")
      return fmt::format("--finish must be launch, return or reboot, not \"{}\"", *c.Finish);
    if (*c.Finish == "launch" && !finish.LaunchEnabled)
      return "--finish launch: this product has no program to launch after installing";
    if (*c.Finish == "reboot" && !finish.RebootVisible)
      return "--finish reboot: this product does not offer a restart (\"Show Re-Boot\" is 0)";
  }
  auto offered = [&](const std::string& name, bool desktop) {
    for (const auto& raw : settings.DesktopList) {
      const auto e = setup::SplitDesktopEntry(raw);
      if (e.Name == name && (desktop ? e.D : e.S) == "X") return true;
    }
    return false;
  };
  for (const auto& n : c.NoDesktop)
    if (!offered(n, true))
      return fmt::format("--no-desktop: no desktop shortcut \"{}\" is offered", n);
  for (const auto& n : c.NoStartMenu)
    if (!offered(n, false))
      return fmt::format("--no-startmenu: no Start Menu shortcut \"{}\" is offered", n);
  return {};
}

void RecordChoices(const setup::TNolvo& w, InstallChoices& c) {
  c.Dir = w.Controls().Label1;
  c.Type = w.Controls().MinSelected ? "minimum" : "full";
  c.NoDesktop.clear();
  c.NoStartMenu.clear();
  for (const auto& i : w.Controls().DK)
    if (!i.Checked) c.NoDesktop.push_back(i.Name);
  for (const auto& i : w.Controls().SM)
    if (!i.Checked) c.NoStartMenu.push_back(i.Name);
  c.FolderStartMenu = w.Controls().CheckBox1;
  c.FolderDesktop = w.Controls().CheckBox2;
  c.Finish = w.LaunchSelected() ? "launch" : w.RebootSelected() ? "reboot" : "return";
}

}  // namespace nolvo::cli
