// Where shortcuts go: the machine's own shell folders, read from its registry.
#include "platform/shell_folders.h"

#include <gtest/gtest.h>

#include "tests/support/test_machine.h"

namespace nolvo::platform {
namespace {

constexpr const char* kShell =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kUser =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr const char* kProfiles = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

void SetExpand(Registry& reg, RegKey root, const std::string& key, const char* name,
               const std::string& text) {
  RegKey k;
  ASSERT_TRUE(reg.CreateKeyEx(root, key, &k, nullptr).ok());
  ASSERT_TRUE(reg.SetValueEx(k, name, RegType::kExpandSz, RegStringData(text)).ok());
  EXPECT_TRUE(reg.CloseKey(k).ok());
}

// A machine as Wine lays it out: the profile list, the environment and the user's
// folders with variables.
void WineLikeMachine(Registry& reg) {
  reg.WriteString(kHKeyLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                  "SystemRoot", "C:\\windows");
  SetExpand(reg, kHKeyLocalMachine, kProfiles, "ProgramData", "C:\\ProgramData");
  reg.WriteString(kHKeyLocalMachine, std::string(kProfiles) + "\\S-1-5-21-0-0-0-1000",
                  "ProfileImagePath", "C:\\users\\me");
  SetExpand(reg, kHKeyCurrentUser, "Environment", "STARTMENU",
            "%APPDATA%\\Microsoft\\Windows\\Start Menu");
  SetExpand(reg, kHKeyCurrentUser, "Environment", "APPDATA", "%USERPROFILE%\\AppData\\Roaming");
  SetExpand(reg, kHKeyCurrentUser, kUser, "Desktop", "%USERPROFILE%\\Desktop\\");
  SetExpand(reg, kHKeyCurrentUser, kUser, "Start Menu", "%STARTMENU%");
}

TEST(ShellFolders, TheMachineNamesThemElseTheWindowsDirectoryHoldsThem) {
  test::TestMachine tm;
  const Machine& m = tm.Machine();
  struct Case {
    const char* label;
    void (*setup)(Registry&);
    ShellFolders expected;
  };
  const std::string me = "C:\\users\\me",
                    start = me + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
  const Case cases[] = {
      {"a plain prefix", [](Registry&) {}, DefaultShellFolders("C:\\WINDOWS")},
      {"User Shell Folders, variables expanded",
       WineLikeMachine,
       {me + "\\Desktop", start, start + "\\Programs", true}},
      {"Shell Folders first",
       [](Registry& reg) {
         WineLikeMachine(reg);
         reg.WriteString(kHKeyCurrentUser, kShell, "Desktop", "D:\\Desk");
         reg.WriteString(kHKeyCurrentUser, kShell, "Programs", "D:\\Progs");
       },
       {"D:\\Desk", "C:\\users\\me\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu", "D:\\Progs",
        true}},
      {"an unknown variable or a relative path falls back",
       [](Registry& reg) {
         SetExpand(reg, kHKeyCurrentUser, kUser, "Desktop", "%NOSUCH%\\Desktop");
         reg.WriteString(kHKeyCurrentUser, kShell, "Start Menu", "Start Menu");
       },
       DefaultShellFolders("C:\\WINDOWS")},
  };
  for (const Case& c : cases) {
    Registry reg;
    c.setup(reg);
    const ShellFolders f = ReadShellFolders(m, reg);
    EXPECT_EQ(f.desktop, c.expected.desktop) << c.label;
    EXPECT_EQ(f.startMenu, c.expected.startMenu) << c.label;
    EXPECT_EQ(f.programs, c.expected.programs) << c.label;
    EXPECT_EQ(f.fromMachine, c.expected.fromMachine) << c.label;
  }
}

}  // namespace
}  // namespace nolvo::platform
