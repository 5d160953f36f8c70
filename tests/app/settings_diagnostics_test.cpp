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

}  // namespace
}  // namespace nolvo::app
