// nolvo check PATH [--json]: the settings an install.cfg gives, with the diagnostics a
// product builder needs.

#include <fmt/format.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "app/settings_diagnostics.h"
#include "app/settings_loader.h"
#include "cli/command.h"
#include "cli/config_path.h"
#include "platform/code_page.h"
#include "util/shown_text.h"

namespace nolvo::cli {

namespace {

struct CheckOptions {
  std::string path;
  bool json = false;
};

const char* ChoiceName(app::FinishChoice c) {
  switch (c) {
    case app::FinishChoice::fcLaunch:
      return "launch";
    case app::FinishChoice::fcReturn:
      return "return";
    case app::FinishChoice::fcReboot:
      return "reboot";
    case app::FinishChoice::fcNone:
      return "none";
  }
  return "return";
}

nlohmann::json HeaderJson(const app::LoadResult& r, const platform::CodePage& cp) {
  nlohmann::json j;
  auto add = [&](const std::string& prefix, const app::HeaderStyle& h) {
    j[prefix] = util::ShownName(h.Text, cp);
    j[prefix + " Font Name"] = util::ShownName(h.FontName, cp);
    j[prefix + " Font Size"] = h.FontSize;
    j[prefix + " Font Color"] = h.FontColor;
    j[prefix + " Font Shadow"] = h.ShadowColor;
  };
  add("Header", r.Screen.Header);
  add("Header2", r.Screen.Header2);
  return j;
}

nlohmann::json ToJson(const app::LoadResult& r, const std::vector<std::string>& diagnostics,
                      const platform::CodePage& cp) {
  const app::SetupSettings& s = r.Settings;
  auto list = [&](const std::vector<std::string>& v) {
    nlohmann::json a = nlohmann::json::array();
    for (const auto& e : v) a.push_back(util::ShownName(e, cp));
    return a;
  };
  nlohmann::json j = {
      {"InstallDisks", s.InstallDisks},
      {"InstallDir", util::ShownName(s.InstallDir, cp)},
      {"IniFileName", util::ShownName(s.IniFileName, cp)},
      {"LaunchProgram", util::ShownName(s.LaunchProgram, cp)},
      {"MainFolder", util::ShownName(s.MainFolder, cp)},
      {"BitmapFile", util::ShownName(s.BitmapFile, cp)},
      {"AddToProgramFiles", s.AddToProgramFiles},
      {"WorkStationPrompt", s.WorkStationPrompt},
      {"AlignCenter", s.AlignCenter},
      {"AlignLeft", s.AlignLeft},
      {"AlignRight", s.AlignRight},
      {"ShowWarningScreen", s.ShowWarningScreen},
      {"ShowReBoot", s.ShowReBoot},
      {"DirectoryList", list(s.DirectoryList)},
      {"FileList", list(s.FileList)},
      {"DesktopList", list(s.DesktopList)},
      {"IniSetupList", list(s.IniSetupList)},
      {"WorkStationList", list(s.WorkStationList)},
      {"FromColor", r.Screen.FromColor},
      {"ToColor", r.Screen.ToColor},
  };
  j.update(HeaderJson(r, cp));
  nlohmann::json sources = nlohmann::json::object();
  for (const auto& rec : r.Records)
    if (rec.Section == app::kMainSection) sources[rec.Key] = rec.FromFile ? "file" : "default";
  j["Sources"] = sources;
  const auto& f = r.Wizard.Finish;
  j["FinishChoice"] = {
      {"Choice", ChoiceName(f.Selected)},
      {"Launch", {{"Enabled", f.LaunchEnabled}, {"Visible", true}}},
      {"Reboot", {{"Enabled", true}, {"Visible", f.RebootVisible}}},
  };
  j["WizardStartPage"] = r.Wizard.PageIndex;
  j["Encoding"] = platform::ProfileEncodingName(r.Encoding);
  nlohmann::json diags = nlohmann::json::array();
  for (const auto& d : diagnostics) diags.push_back(util::ShownName(d, cp));
  j["Diagnostics"] = diags;
  return j;
}

void PrintText(const std::filesystem::path& file, const app::LoadResult& r,
               const std::vector<std::string>& diagnostics, const platform::CodePage& cp) {
  fmt::print("{}\nencoding: {}{}\n\n[Setup - Main]\n", file.string(),
             platform::ProfileEncodingName(r.Encoding),
             r.Encoding == platform::ProfileEncoding::peAnsi
                 ? fmt::format(" (code page {})", cp.Name())
                 : fmt::format(" (converted to code page {})", cp.Name()));
  for (const auto& rec : r.Records) {
    if (rec.Section != app::kMainSection) continue;
    fmt::print("  {:<22} = {:<30} ({})\n", rec.Key, util::ShownName(rec.Value, cp),
               rec.FromFile ? "file" : "default");
  }
  auto list = [&](const char* name, const std::vector<std::string>& v) {
    fmt::print("\n[{}] {} entr{}\n", name, v.size(), v.size() == 1 ? "y" : "ies");
    for (const auto& e : v) fmt::print("  {}\n", util::ShownName(e, cp));
  };
  list("Directories", r.Settings.DirectoryList);
  list("Files", r.Settings.FileList);
  fmt::print("  (a trailing ~X asks before overwriting, a trailing ~ replaces silently)\n");
  list("Desktop", r.Settings.DesktopList);
  list("INI - Setup", r.Settings.IniSetupList);
  list("WorkStation", r.Settings.WorkStationList);
  fmt::print("\nMain screen\n");
  for (const auto* h : {&r.Screen.Header, &r.Screen.Header2})
    fmt::print("  \"{}\": {} {} pt, colour 0x{:06X}, shadow 0x{:06X}\n",
               util::ShownName(h->Text, cp), util::ShownName(h->FontName, cp), h->FontSize,
               h->FontColor, h->ShadowColor);
  fmt::print("  gradient 0x{:06X} -> 0x{:06X}\n", r.Screen.FromColor, r.Screen.ToColor);
  const auto& f = r.Wizard.Finish;
  fmt::print("\nWizard\n  finish choice: {} (launch {}, reboot {})\n  opens on: {}\n",
             ChoiceName(f.Selected), f.LaunchEnabled ? "enabled" : "disabled",
             f.RebootVisible ? "shown" : "hidden",
             r.Wizard.PageIndex == 0 ? "the welcome page" : "the licence page");
  fmt::print("\nDiagnostics: {}\n", diagnostics.empty() ? "none" : "");
  for (const auto& d : diagnostics) fmt::print("  - {}\n", util::ShownName(d, cp));
}

}  // namespace

CommandRegistration RegisterCheck(CLI::App& app, const GlobalOptions& global) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* sub = app.add_subcommand(
      "check", "Show the settings an install.cfg gives and what is wrong with it");
  sub->add_option("PATH", options->path, "An install.cfg, or a media folder holding one")
      ->required();
  sub->add_flag("--json", options->json, "Print one JSON object");
  sub->footer(
      std::string(
          "Reads install.cfg as the setup does: ANSI in the code page NOLVO_CODEPAGE names,\n"
          "or UTF-8 / UTF-16LE text when the file starts with a byte-order mark (converted\n"
          "to that code page; a character it lacks is a diagnostic naming the line). Every\n"
          "line of a list section is one entry; duplicate keys and key lists longer than\n"
          "the profile API's 8192 bytes are named, because a setup reading through that\n"
          "API would lose entries. An installation directory that comes out empty, a\n"
          "drive root or the Windows folder is a diagnostic too.\n"
          "Exits 1 when there are diagnostics.\n\n") +
      kExitCodeHelp);
  auto run = [options, &global]() -> int {
    const auto file = FindConfigFile(options->path);
    if (!file) {
      fmt::print(stderr, "nolvo check: no install.cfg at {}\n", options->path);
      return kExitUsage;
    }
    const platform::CodePage cp = platform::CodePage::FromEnvironment();
    const app::LoadResult result = app::LoadSettings(platform::ProfileReader(*file));
    std::vector<std::string> diagnostics;
    for (const auto& d : result.Diagnostics) diagnostics.push_back(d.Text);
    for (auto& d : app::DiagnoseSettings(result.Settings)) diagnostics.push_back(std::move(d));
    if (options->json)
      fmt::print("{}\n", ToJson(result, diagnostics, cp).dump(2));
    else if (!global.quiet)
      PrintText(*file, result, diagnostics, cp);
    return diagnostics.empty() ? kExitOk : kExitFailure;
  };
  return {sub, run};
}

}  // namespace nolvo::cli
