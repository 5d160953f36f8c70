#pragma once
// A setup ready for the installation engine on a fresh temporary prefix: settings,
// start-up state, the wizard, scripted dialogs, the shortcut component and the registry,
// with helpers to place files in TempDir and read what the run left on drive C:.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "app/setup_settings.h"
#include "app/startup_state.h"
#include "platform/registry.h"
#include "setup/install_engine.h"
#include "setup/shortcuts.h"
#include "setup/wizard.h"
#include "testing/scripted_dialogs.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_machine.h"

namespace nolvo::setup {

class EngineFixture : public ::testing::Test {
 protected:
  EngineFixture() {
    state.SourceDir = "C:\\media\\";
    state.TempDir = "C:\\WINDOWS\\Temp\\q";
    state.WinDrive = "C:\\";
    std::filesystem::create_directories(Host("C:\\WINDOWS\\Temp\\q"));
    PutTemp("install.exe", "setup program");
    PutTemp("install.cfg", "[Setup - Main]\r\n");
  }

  // The host path of a Windows path on drive C:.
  std::filesystem::path Host(const std::string& windowsPath) const {
    std::string rel = windowsPath.substr(3);
    for (char& ch : rel)
      if (ch == '\\') ch = '/';
    return tm.DriveC() / rel;
  }
  void PutTemp(const std::string& name, const std::string& bytes) {
    test::WriteBytes(Host("C:\\WINDOWS\\Temp\\q\\" + name), bytes);
  }
  bool Exists(const std::string& windowsPath) const {
    return std::filesystem::exists(Host(windowsPath));
  }
  std::string Read(const std::string& windowsPath) const {
    return test::ReadText(Host(windowsPath));
  }
  // An uninstall.cfg without the section of what was created (the system's own part).
  std::string SystemSections(const std::string& windowsPath) const {
    const std::string text = Read(windowsPath);
    return text.substr(0, text.find("[Nolvo Created]\r\n"));
  }

  // Runs the engine with the wizard's Install button, as the setup does; `expanded`
  // names what the extraction wrote (null: whatever TempDir holds).
  EngineResult Install(EngineOptions options = {},
                       const std::set<std::string>* expanded = nullptr) {
    wizard = std::make_unique<TNolvo>(settings, dialogs, pump);
    wizard->Edit().Label1 = destination;
    wizard->Edit().MinSelected = minimum;
    wizard->Edit().Finish.Selected = finish;
    wizard->Edit().CreateFolder = "Tools";
    wizard->Edit().CheckBox1 = folderStartMenu;
    wizard->Edit().CheckBox2 = folderDesktop;
    for (const auto& n : desktopOffered) wizard->Edit().DK.push_back({n, true});
    for (const auto& n : startMenuOffered) wizard->Edit().SM.push_back({n, true});
    TShortcuts shortcuts(tm.Machine());
    EngineResult result;
    wizard->installClick([&](TNolvo& w) {
      EngineContext context{tm.Machine(), settings, state,     title,    w,
                            dialogs,      pump,     shortcuts, registry, expanded};
      result = InstallEngine(context, std::move(options)).Run();
    });
    return result;
  }

  test::TestMachine tm;
  app::SetupSettings settings;
  app::StartupState state;
  testing::ScriptedDialogs dialogs;
  testing::CountingMessagePump pump;
  platform::Registry registry{tm.Machine().RegistryFile()};
  std::unique_ptr<TNolvo> wizard;
  std::string title = "My Tool";
  std::string destination = "C:\\Apps\\Tool";
  bool minimum = false;
  bool folderStartMenu = false;
  bool folderDesktop = false;
  app::FinishChoice finish = app::FinishChoice::fcReturn;
  std::vector<std::string> desktopOffered;
  std::vector<std::string> startMenuOffered;
};

}  // namespace nolvo::setup
