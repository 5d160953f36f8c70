#include "platform/restart.h"

#include <gtest/gtest.h>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace nolvo::platform {
namespace {

TEST(Restart, RunsTheConfiguredCommandAndAnswersItsSuccess) {
  test::TempDir dir;
  const auto marker = dir.Path() / "restarted";
  {
    test::ScopedEnv env("NOLVO_RESTART_COMMAND",
                        "echo \"flags=$NOLVO_RESTART_FLAGS\" > '" + marker.string() + "'");
    EXPECT_TRUE(RequestHostRestart(2));
    // The command has finished when the request returns.
    EXPECT_EQ(test::ReadText(marker), "flags=2\n");
  }
  {
    test::ScopedEnv env("NOLVO_RESTART_COMMAND", "exit 3");
    EXPECT_FALSE(RequestHostRestart(2));
  }
  {
    test::ScopedEnv env("NOLVO_RESTART_COMMAND", "kill -9 $$");
    EXPECT_FALSE(RequestHostRestart(2));
  }
  {
    test::ScopedEnv env("NOLVO_RESTART_COMMAND", "");
    EXPECT_FALSE(RequestHostRestart(2));
  }
  test::ScopedEnv env("NOLVO_RESTART_COMMAND", std::nullopt);
  EXPECT_FALSE(RequestHostRestart(2));
}

}  // namespace
}  // namespace nolvo::platform
