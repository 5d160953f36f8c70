#include "util/launch_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/launch.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_machine.h"

namespace nolvo::util {
namespace {

namespace fs = std::filesystem;
using test::TestMachine;

bool WaitForFile(const fs::path& file) {
  for (int i = 0; i < 500; ++i) {
    if (fs::exists(file)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// C:\Apps\Tool\app.sh: writes its folder and arguments to `out` on the host.
fs::path InstallRecorder(TestMachine& tm, const fs::path& out) {
  fs::create_directories(tm.DriveC() / "Apps" / "Tool");
  const fs::path program = tm.DriveC() / "Apps" / "Tool" / "app.sh";
  test::WriteBytes(program, "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"[$a]\"; done; } > '" +
                                out.string() + ".tmp'\n/bin/mv '" + out.string() + ".tmp' '" +
                                out.string() + "'\n");
  fs::permissions(program, fs::perms::owner_all);
  return program;
}

TEST(LaunchFileTest, StartsTheInstalledProgramInItsOwnDirectory) {
  TestMachine tm;
  test::ScopedEnv env("NOLVO_LAUNCH_LOG", std::nullopt);
  const fs::path out = tm.Root() / "ran";
  InstallRecorder(tm, out);
  // Paths of the system's case and with texts longer than 79 characters are carried whole.
  const std::string longParameter(120, 'p');
  EXPECT_GT(LaunchFile(tm.Machine(), "c:\\APPS\\tool\\APP.SH", "first " + longParameter,
                       "C:\\Apps\\Tool", 5),
            32);
  ASSERT_TRUE(WaitForFile(out));
  EXPECT_EQ(test::ReadText(out),
            (tm.DriveC() / "Apps" / "Tool").string() + "\n[first]\n[" + longParameter + "]\n");
}

TEST(LaunchFileTest, RecordsTheWindowsTextsInTheLaunchLog) {
  TestMachine tm;
  const fs::path log = tm.Root() / "launch.log";
  test::ScopedEnv env("NOLVO_LAUNCH_LOG", log.string());
  InstallRecorder(tm, tm.Root() / "ran");
  EXPECT_EQ(LaunchFile(tm.Machine(), "C:\\Apps\\Tool\\app.sh", "", "C:\\Apps\\Tool", 5),
            platform::LaunchCode::kStarted);
  // A relative name is found in the default directory.
  EXPECT_EQ(LaunchFile(tm.Machine(), "app.sh", "/x", "C:\\Apps\\Tool\\", 1),
            platform::LaunchCode::kStarted);
  EXPECT_EQ(test::ReadText(log),
            "C:\\Apps\\Tool\\app.sh\t\tC:\\Apps\\Tool\t5\n"
            "app.sh\t/x\tC:\\Apps\\Tool\\\t1\n");
  EXPECT_FALSE(fs::exists(tm.Root() / "ran"));
}

TEST(LaunchFileTest, MissingFilesAndDirectoriesGiveTheShellsErrorCodes) {
  TestMachine tm;
  const fs::path log = tm.Root() / "launch.log";
  test::ScopedEnv env("NOLVO_LAUNCH_LOG", log.string());
  InstallRecorder(tm, tm.Root() / "ran");
  EXPECT_EQ(LaunchFile(tm.Machine(), "C:\\Apps\\Tool\\missing.exe", "", "C:\\Apps\\Tool", 5),
            platform::LaunchCode::kFileNotFound);
  EXPECT_EQ(LaunchFile(tm.Machine(), "C:\\Nowhere\\app.exe", "", "", 5),
            platform::LaunchCode::kPathNotFound);
  EXPECT_EQ(LaunchFile(tm.Machine(), "C:\\Apps\\Tool\\app.sh", "", "C:\\Apps\\Gone", 5),
            platform::LaunchCode::kPathNotFound);
  EXPECT_EQ(LaunchFile(tm.Machine(), "C:\\Apps\\Tool\\a|b", "", "", 5),
            platform::LaunchCode::kFileNotFound);
  EXPECT_FALSE(fs::exists(log));
}

}  // namespace
}  // namespace nolvo::util
