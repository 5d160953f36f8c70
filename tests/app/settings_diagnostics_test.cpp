#include "app/settings_diagnostics.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace nolvo::app {
namespace {

bool Names(const std::vector<std::string>& diagnostics, const std::string& part) {
  return std::any_of(diagnostics.begin(), diagnostics.end(),
                     [&](const std::string& d) { return d.find(part) != std::string::npos; });
}

TEST(SettingsDiagnostics, LaunchNeedsABoundToken) {
  const struct {
    std::string launch;
    bool named;
  } cases[] = {
      {"", false},
      {"<INSTALLDIR>demo.exe", false},
      {"<installdir>demo.exe", false},
      {"<SUB1>tool.exe", false},
      {"<NOPE>demo.exe", true},
      {"demo.exe", true},
  };
  for (const auto& c : cases) {
    SetupSettings s;
    s.InstallDir = "App";
    s.DirectoryList = {"<INSTALLDIR>~", "<SUB1>~Tools"};
    s.LaunchProgram = c.launch;
    EXPECT_EQ(Names(DiagnoseSettings(s), "\"Launch\""), c.named) << c.launch;
  }
}

TEST(SettingsDiagnostics, PreselectedMinimumNeedsWorkStationFiles) {
  const struct {
    bool prompt;
    std::vector<std::string> files, workStation;
    bool named;
  } cases[] = {
      {false, {"a.exe~<INSTALLDIR>~"}, {}, false},
      {true, {"a.exe~<INSTALLDIR>~"}, {"a.exe~<INSTALLDIR>"}, false},
      {true, {}, {}, false},
      {true, {"a.exe~<INSTALLDIR>~"}, {}, true},
  };
  for (const auto& c : cases) {
    SetupSettings s;
    s.InstallDir = "App";
    s.DirectoryList = {"<INSTALLDIR>~"};
    s.WorkStationPrompt = c.prompt;
    s.FileList = c.files;
    s.WorkStationList = c.workStation;
    EXPECT_EQ(Names(DiagnoseSettings(s), "[WorkStation] is empty"), c.named);
  }
}

}  // namespace
}  // namespace nolvo::app
