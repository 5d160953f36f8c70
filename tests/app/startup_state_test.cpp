#include "app/startup_state.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "tests/support/test_machine.h"
#include "util/file_errors.h"

namespace nolvo::app {
namespace {

namespace fs = std::filesystem;

TEST(StartupState, FolderRulesForRootsAndSubfolders) {
  test::TestMachine tm;
  auto& m = tm.Machine();
  fs::create_directories(tm.Root() / "floppy");
  ASSERT_TRUE(m.MapDrive('A', tm.Root() / "floppy").ok());
  fs::create_directories(tm.DriveC() / "SETUP");
  auto s = FixStartupState(m, std::string("A:\\"));
  EXPECT_EQ(s.SourceDir, "A:\\");
  EXPECT_EQ(s.CmdLineDir, "A:\\");
  EXPECT_EQ(s.WinDrive, "C:\\");
  EXPECT_EQ(s.TempDir, "C:\\WINDOWS\\Temp\\q");
  EXPECT_TRUE(fs::is_directory(tm.DriveC() / "windows" / "Temp" / "q"));
  // The caller's spelling is kept, and a trailing backslash is added once.
  s = FixStartupState(m, std::string("c:\\setup"));
  EXPECT_EQ(s.SourceDir, "c:\\setup\\");
  ASSERT_TRUE(m.SetCurrentDirectory("C:\\SETUP").ok());
  s = FixStartupState(m, std::nullopt);
  EXPECT_EQ(s.SourceDir, "C:\\SETUP\\");
  EXPECT_EQ(s.CmdLineDir, "");
}

TEST(StartupState, AMissingCommandLineFolderStopsStartUp) {
  test::TestMachine tm;
  const std::string before = tm.Machine().GetCurrentDirectory();
  EXPECT_THROW(FixStartupState(tm.Machine(), std::string("C:\\NOPE")), util::EInOutError);
  EXPECT_EQ(tm.Machine().GetCurrentDirectory(), before);
}

TEST(StartupState, ATemporaryFolderOffThePrefixStopsStartUp) {
  // A link on the way to C:\WINDOWS\Temp\q that leads off the prefix: the setup would
  // empty and fill a host folder.
  for (const char* link : {"windows", "windows/Temp", "windows/Temp/q"}) {
    test::TestMachine tm;
    const fs::path outside = tm.Root() / "outside";
    fs::create_directories(outside);
    test::WriteBytes(outside / "mine.txt", std::string("keep"));
    fs::create_directories((tm.DriveC() / link).parent_path());
    fs::create_directory_symlink(outside, tm.DriveC() / link);
    EXPECT_THROW(FixStartupState(tm.Machine(), std::nullopt), util::EInOutError) << link;
    EXPECT_EQ(test::ReadText(outside / "mine.txt"), "keep") << link;
    EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1) << link;
  }
}

TEST(ClearTempDir, DeletesPlainFilesAndKeepsWhatCannotGo) {
  test::TestMachine tm;
  auto& m = tm.Machine();
  const auto q = tm.DriveC() / "windows" / "Temp" / "q";
  fs::create_directories(q);
  test::WriteBytes(q / "a.txt", std::string("a"));
  test::WriteBytes(q / "b.bin", std::string("b"));
  ClearTempDir(m, "C:\\WINDOWS\\Temp\\q");
  EXPECT_FALSE(fs::exists(q));

  fs::create_directories(q / "sub");
  test::WriteBytes(q / "c.txt", std::string("c"));
  test::WriteBytes(q / "ro.txt", std::string("r"));
  fs::permissions(q / "ro.txt",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  ClearTempDir(m, "C:\\WINDOWS\\Temp\\q");
  EXPECT_FALSE(fs::exists(q / "c.txt"));
  EXPECT_TRUE(fs::exists(q / "ro.txt"));  // read-only files stay, as on Windows
  EXPECT_TRUE(fs::is_directory(q / "sub"));
  EXPECT_TRUE(fs::is_directory(q));
  ClearTempDir(m, "C:\\WINDOWS\\Temp\\missing");  // nothing there: nothing happens
}

TEST(ClearTempDir, StagingFolderInUseSurvivesItsEmptying) {
  test::TestMachine tm;
  auto& m = tm.Machine();
  fs::create_directories(tm.DriveC() / "STAGE");
  test::WriteBytes(tm.DriveC() / "STAGE" / "disk.001", std::string("x"));
  const auto s = FixStartupState(m, std::string("C:\\STAGE"));
  ClearTempDir(m, s.CmdLineDir);
  EXPECT_FALSE(fs::exists(tm.DriveC() / "STAGE" / "disk.001"));
  EXPECT_TRUE(fs::is_directory(tm.DriveC() / "STAGE"));  // it is the current directory
}

}  // namespace
}  // namespace nolvo::app
