#include <gtest/gtest.h>

#include "platform/file_ops.h"
#include "tests/support/test_machine.h"
#include "util/ensure_directory_path.h"
#include "util/file_errors.h"
#include "util/file_has_attr.h"
#include "util/split_at_char.h"
#include "util/windows_directory.h"

namespace nolvo::util {
namespace {

namespace fs = std::filesystem;
using test::TestMachine;
using test::WriteBytes;

TEST(SplitAtCharTest, FieldsFromTheLeftThenTheLastOneRepeats) {
  std::string text = "a~b~c";
  std::string head;
  std::vector<std::string> fields;
  for (int i = 0; i < 4; ++i) {
    SplitAtChar(text, '~', head);
    fields.push_back(head);
  }
  EXPECT_EQ(fields, (std::vector<std::string>{"a", "b", "c", "c"}));
  text = "abc";
  SplitAtChar(text, '~', head);
  EXPECT_EQ(head, "abc");
  EXPECT_EQ(text, "abc");
  text = "~x~";
  SplitAtChar(text, '~', head);
  EXPECT_EQ(head, "");
  EXPECT_EQ(text, "x~");
  SplitAtChar(text, '~', head);
  EXPECT_EQ(head, "x");
  EXPECT_EQ(text, "");
}

TEST(FileHasAttrTest, MissingPathsHaveEveryBit) {
  TestMachine tm;
  fs::create_directory(tm.DriveC() / "dir");
  WriteBytes(tm.DriveC() / "file", "");
  EXPECT_TRUE(FileHasAttr(tm.Machine(), "C:\\DIR", 16));
  EXPECT_FALSE(FileHasAttr(tm.Machine(), "C:\\file", 16));
  EXPECT_TRUE(FileHasAttr(tm.Machine(), "C:\\file", 0x20));
  EXPECT_FALSE(FileHasAttr(tm.Machine(), "C:\\file", 0x21));
  EXPECT_TRUE(FileHasAttr(tm.Machine(), "C:\\missing", 16));
  EXPECT_TRUE(FileHasAttr(tm.Machine(), "C:\\missing\\deeper", 0xFFFF));
}

TEST(WindowsDirectoryTest, IsCWindowsAndExists) {
  TestMachine tm;
  EXPECT_EQ(WindowsDirectory(tm.Machine()), "C:\\WINDOWS");
  EXPECT_TRUE(fs::is_directory(tm.DriveC() / "windows"));
}

TEST(EnsureDirectoryPathTest, CreatesEveryMissingLevelAndSkipsExistingOnes) {
  TestMachine tm;
  fs::create_directory(tm.DriveC() / "a");
  WriteBytes(tm.DriveC() / "a/keep", "");
  EnsureDirectoryPath(tm.Machine(), "C:\\A\\B\\C\\");
  EXPECT_TRUE(fs::is_directory(tm.DriveC() / "a/B/C"));
  EXPECT_TRUE(fs::exists(tm.DriveC() / "a/keep"));
  EXPECT_FALSE(fs::exists(tm.DriveC() / "A"));
  EnsureDirectoryPath(tm.Machine(), "C:\\WINDOWS\\Temp\\q");
  EXPECT_TRUE(fs::is_directory(tm.DriveC() / "WINDOWS/Temp/q"));
}

TEST(EnsureDirectoryPathTest, RootsDoNothingAndOnlyAnEmptyPathRaises) {
  TestMachine tm;
  EXPECT_NO_THROW(EnsureDirectoryPath(tm.Machine(), "C:\\"));
  EXPECT_NO_THROW(EnsureDirectoryPath(tm.Machine(), "C:"));
  EXPECT_NO_THROW(EnsureDirectoryPath(tm.Machine(), "Q:\\missing\\drive"));
  try {
    EnsureDirectoryPath(tm.Machine(), "");
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_STREQ(e.what(), "Unable to create directory");
  }
  // A file in the way: creation fails silently.
  WriteBytes(tm.DriveC() / "blocker", "");
  EXPECT_NO_THROW(EnsureDirectoryPath(tm.Machine(), "C:\\blocker\\sub"));
  EXPECT_TRUE(fs::is_regular_file(tm.DriveC() / "blocker"));
}

TEST(EnsureDirectoryPathTest, ARelativeNameIsMadeInTheCurrentDirectory) {
  TestMachine tm;
  fs::create_directory(tm.DriveC() / "work");
  ASSERT_TRUE(tm.Machine().SetCurrentDirectory("C:\\work").ok());
  EnsureDirectoryPath(tm.Machine(), "newdir");
  EXPECT_TRUE(fs::is_directory(tm.DriveC() / "work/newdir"));
  EnsureDirectoryPath(tm.Machine(), "x\\y");
  EXPECT_TRUE(fs::is_directory(tm.DriveC() / "work/x/y"));
}

}  // namespace
}  // namespace nolvo::util
