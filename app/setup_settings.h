#pragma once
// The settings of one setup run as install.cfg gives them, held by the main screen for
// the whole run and consulted by the extraction stage, the wizard and the engine.

#include <cstdint>
#include <string>
#include <vector>

namespace nolvo::app {

struct SetupSettings {
  std::int32_t InstallDisks = 0;
  std::string InstallDir;
  std::string IniFileName;
  std::string LaunchProgram;
  std::string MainFolder = "Accessories";
  std::string BitmapFile;
  bool AddToProgramFiles = false;
  bool WorkStationPrompt = false;
  bool AlignCenter = false;
  bool AlignLeft = true;
  bool AlignRight = false;
  bool ShowWarningScreen = true;
  bool ShowReBoot = true;

  // Raw entry values in file order. Each FileList entry carries its overwrite marker:
  // "~X" when its "File #n" flag is 1, "~" otherwise.
  std::vector<std::string> DirectoryList;
  std::vector<std::string> FileList;
  std::vector<std::string> DesktopList;
  std::vector<std::string> IniSetupList;
  std::vector<std::string> WorkStationList;
};

}  // namespace nolvo::app
