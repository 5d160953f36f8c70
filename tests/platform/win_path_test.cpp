#include "platform/win_path.h"

#include <gtest/gtest.h>

#include "platform/win_error.h"

namespace nolvo::platform {
namespace {

std::string Full(std::string_view path, const DriveDirectories& dirs = {}) {
  std::string out;
  const WinError e = FullPathName(path, dirs, out);
  return e == kErrorSuccess ? out : "error " + std::to_string(e.value());
}

TEST(FullPathNameTest, AbsolutePathsAreNormalisedLexically) {
  EXPECT_EQ(Full("C:\\a\\..\\b\\.\\c\\"), "C:\\b\\c\\");
  EXPECT_EQ(Full("C:/a/b"), "C:\\a\\b");
  EXPECT_EQ(Full("C:\\\\a\\\\\\b"), "C:\\a\\b");
  EXPECT_EQ(Full("c:\\FS\\sub"), "c:\\FS\\sub");  // the caller's case stays
  EXPECT_EQ(Full("C:\\a\\.."), "C:\\");
  EXPECT_EQ(Full("C:\\"), "C:\\");
  EXPECT_EQ(Full("A:\\"), "A:\\");
}

TEST(FullPathNameTest, ClimbingAboveARootStaysAtTheRoot) {
  EXPECT_EQ(Full("C:\\..\\..\\x"), "C:\\x");
  EXPECT_EQ(Full("C:\\a\\..\\..\\..\\"), "C:\\");
  DriveDirectories dirs;
  dirs.Set("D:\\deep\\er");
  dirs.current = 'D';
  EXPECT_EQ(Full("..\\..\\..\\up", dirs), "D:\\up");
}

TEST(FullPathNameTest, TrailingDotsAndSpacesOfTheLastComponentGo) {
  EXPECT_EQ(Full("C:\\Tools "), "C:\\Tools");
  EXPECT_EQ(Full("C:\\dot."), "C:\\dot");
  EXPECT_EQ(Full("C:\\a.b. . "), "C:\\a.b");
  EXPECT_EQ(Full("C:\\keep.\\x"), "C:\\keep.\\x");  // only the last one
  EXPECT_EQ(Full("C:\\x.\\ "), "C:\\x");            // ...which may become the one before
  EXPECT_EQ(Full("C:\\a\\..."), "C:\\a");
}

TEST(FullPathNameTest, RelativePathsUseTheRememberedDirectoryOfTheirDrive) {
  DriveDirectories dirs;
  dirs.Set("C:\\WINDOWS");
  dirs.Set("e:\\Stage");
  dirs.current = 'C';
  EXPECT_EQ(Full("file.txt", dirs), "C:\\WINDOWS\\file.txt");
  EXPECT_EQ(Full("E:setup\\disk.001", dirs), "e:\\Stage\\setup\\disk.001");
  EXPECT_EQ(Full("E:", dirs), "e:\\Stage");
  EXPECT_EQ(Full("A:x", dirs), "A:\\x");  // a drive never entered: its root
  EXPECT_EQ(Full("\\temp", dirs), "C:\\temp");
  EXPECT_EQ(Full(".", dirs), "C:\\WINDOWS");
  EXPECT_EQ(Full("..", dirs), "C:\\");
}

TEST(FullPathNameTest, RefusesUncEmptyAndOverlongPaths) {
  EXPECT_EQ(Full("\\\\server\\share\\x"), "error 161");
  EXPECT_EQ(Full("//server/share"), "error 161");
  EXPECT_EQ(Full(""), "error 123");
  EXPECT_EQ(Full("C:\\" + std::string(257, 'a')), "error 206");
  EXPECT_EQ(Full("C:\\" + std::string(256, 'a')).size(), 259u);
  EXPECT_EQ(Full("C:\\" + std::string(256, 'a') + "\\..\\b"), "C:\\b");
}

TEST(WinPathTest, DriveLetterOfIsUpperCase) {
  EXPECT_EQ(DriveLetterOf("c:\\x"), 'C');
  EXPECT_EQ(DriveLetterOf("\\x"), 0);
}

}  // namespace
}  // namespace nolvo::platform
