#include "util/win_reboot.h"

#include <gtest/gtest.h>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace nolvo::util {
namespace {

TEST(TWinReboot, AdjustPrivilegeKnowsWindowsPrivilegeNamesOnly) {
  TWinReboot reboot;
  EXPECT_TRUE(reboot.AdjustPrivilege("SeShutdownPrivilege", true));
  EXPECT_TRUE(reboot.AdjustPrivilege("seshutdownprivilege", false));
  EXPECT_TRUE(reboot.AdjustPrivilege("SeBackupPrivilege", true));
  EXPECT_FALSE(reboot.AdjustPrivilege("SeShutdownPrivilegeX", true));
  EXPECT_FALSE(reboot.AdjustPrivilege("", true));
}

TEST(TWinReboot, RestartWindowsAnswersWhetherTheStandInAcceptedTheRequest) {
  test::TempDir dir;
  const auto marker = dir.Path() / "flags";
  TWinReboot reboot;
  {
    test::ScopedEnv env("NOLVO_RESTART_COMMAND",
                        "printf %s \"$NOLVO_RESTART_FLAGS\" > '" + marker.string() + "'");
    EXPECT_TRUE(reboot.RestartWindows(2));
    EXPECT_EQ(test::ReadText(marker), "2");
  }
  {
    // The account may not shut down: the request fails quietly.
    test::ScopedEnv env("NOLVO_RESTART_COMMAND", "exit 1");
    EXPECT_FALSE(reboot.RestartWindows(2));
  }
  test::ScopedEnv env("NOLVO_RESTART_COMMAND", std::nullopt);
  EXPECT_FALSE(reboot.RestartWindows(2));
}

}  // namespace
}  // namespace nolvo::util
