#pragma once
// The answers an install run gives to the wizard, from the command line or from an
// answers file, and their check against what the wizard offers.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/setup_settings.h"
#include "app/wizard_preset.h"

namespace nolvo::setup {
class TNolvo;
}

namespace nolvo::cli {

struct InstallChoices {
  std::optional<std::string> Dir;        // Windows path of the installation directory
  std::optional<std::string> Type;       // "full" or "minimum"
  std::vector<std::string> NoDesktop;    // shortcut names left off the desktop
  std::vector<std::string> NoStartMenu;  // shortcut names left out of the Start Menu
  bool FolderDesktop = false;
  bool FolderStartMenu = false;
  std::optional<std::string> Finish;  // "launch", "return" or "reboot"
  bool Overwrite = false;
  bool AcceptLicense = false;

  // Reads/writes an answers file (INI, section [Answers]). Values given on the command
  // line win over the file's (the caller merges).
  static InstallChoices Load(const std::filesystem::path& file);
  bool Save(const std::filesystem::path& file) const;
};

// The first line of an answers file's [Answers] section that --save-answers would not
// have written (an unknown key, a value the key cannot hold), named with its line, or
// empty.
std::string AnswersProblem(const std::filesystem::path& file);

// Checks the choices against the loaded settings: a type, finish choice or shortcut name
// the wizard would not offer is a usage error. Returns the problem, or empty.
std::string CheckChoices(const InstallChoices& choices, const app::SetupSettings& settings,
                         const app::FinishChoiceState& finish);

// Takes what the wizard was answered into `choices` (for --save-answers).
void RecordChoices(const setup::TNolvo& wizard, InstallChoices& choices);

}  // namespace nolvo::cli
