#include "platform/find_file.h"

#include <gtest/gtest.h>

#include "platform/win_error.h"
#include "tests/support/test_machine.h"

namespace nolvo::platform {
namespace {

namespace fs = std::filesystem;
using test::TestMachine;
using test::WriteBytes;

std::vector<std::string> Names(const Machine& m, std::string_view pattern,
                               WinError* error = nullptr) {
  FileFinder finder(m, pattern);
  if (error != nullptr) *error = finder.Error();
  std::vector<std::string> names;
  FindData d;
  while (finder.Next(d)) names.push_back(d.name);
  return names;
}

TEST(MatchesPatternTest, DosWildcards) {
  EXPECT_TRUE(MatchesPattern("*.*", "README"));
  EXPECT_TRUE(MatchesPattern("*.*", "disk.001"));
  EXPECT_TRUE(MatchesPattern("*.*", "."));
  EXPECT_TRUE(MatchesPattern("*", ".hidden"));
  EXPECT_TRUE(MatchesPattern("DISK.???", "disk.001"));
  EXPECT_FALSE(MatchesPattern("disk.???", "disk.01"));
  EXPECT_TRUE(MatchesPattern("*.TXT", "license.txt"));
  EXPECT_FALSE(MatchesPattern("*.txt", "license.txt.bak"));
  EXPECT_TRUE(MatchesPattern("setup.*", "SETUP"));
  EXPECT_TRUE(MatchesPattern("*.", "noext"));
  EXPECT_FALSE(MatchesPattern("*.", "has.ext"));
  EXPECT_TRUE(MatchesPattern("a*b*c", "aXXbYYc"));
  EXPECT_FALSE(MatchesPattern("a*b*c", "aXXbYY"));
}

TEST(FileFinderTest, DotEntriesFirstThenNamesSortedWithoutCase) {
  TestMachine tm;
  const fs::path q = tm.DriveC() / "WINDOWS/Temp/q";
  fs::create_directories(q / "sub");
  for (const char* n : {"b.txt", "A.TXT", "readme", "Caf\xC3\xA9"}) WriteBytes(q / n, "1234");
  const auto names = Names(tm.Machine(), "C:\\WINDOWS\\Temp\\q\\*.*");
  EXPECT_EQ(names,
            (std::vector<std::string>{".", "..", "A.TXT", "b.txt", "Caf\xE9", "readme", "sub"}));

  FileFinder finder(tm.Machine(), "c:\\windows\\temp\\Q\\*.txt");
  ASSERT_EQ(finder.Error(), kErrorSuccess);
  FindData d;
  ASSERT_TRUE(finder.Next(d));
  EXPECT_EQ(d.name, "A.TXT");
  EXPECT_EQ(d.size, 4u);
  EXPECT_EQ(d.attributes, 0x20u);
  ASSERT_TRUE(finder.Next(d));
  EXPECT_EQ(d.name, "b.txt");
  EXPECT_FALSE(finder.Next(d));
  EXPECT_EQ(Names(tm.Machine(), "C:\\WINDOWS\\Temp\\q\\s*")[0], "sub");
}

TEST(FileFinderTest, RootsHaveNoDotEntriesAndFailuresAreReported) {
  TestMachine tm;
  WriteBytes(tm.DriveC() / "boot.ini", "");
  EXPECT_EQ(Names(tm.Machine(), "C:\\*.*"), std::vector<std::string>{"boot.ini"});
  WinError error;
  EXPECT_TRUE(Names(tm.Machine(), "C:\\*.exe", &error).empty());
  EXPECT_EQ(error, kErrorFileNotFound);
  Names(tm.Machine(), "C:\\missing\\*.*", &error);
  EXPECT_EQ(error, kErrorPathNotFound);
  Names(tm.Machine(), "C:\\boot.ini\\*.*", &error);
  EXPECT_EQ(error, kErrorPathNotFound);
  Names(tm.Machine(), "C:\\", &error);
  EXPECT_EQ(error, kErrorFileNotFound);
}

TEST(FileFinderTest, HostNamesThatAreNoWindowsNamesCannotBeMistakenForPaths) {
  TestMachine tm;
  fs::create_directories(tm.DriveC() / "d/a");
  WriteBytes(tm.DriveC() / "d/a/b", "keep");
  WriteBytes(tm.DriveC() / "d/a\\b", "odd");
  WriteBytes(tm.DriveC() / "d/x:y", "odd");
  EXPECT_EQ(Names(tm.Machine(), "C:\\d\\*"),
            (std::vector<std::string>{".", "..", "a", "a?b", "x?y"}));
  EXPECT_EQ(tm.Machine().ToWindows(tm.DriveC() / "d/a\\b"), "C:\\d\\a?b");
}

TEST(FileFinderTest, AnEmptiedDirectoryStillListsItsDotEntries) {
  TestMachine tm;
  fs::create_directories(tm.DriveC() / "empty");
  ASSERT_EQ(tm.Machine().SetCurrentDirectory("C:\\empty"), kErrorSuccess);
  EXPECT_EQ(Names(tm.Machine(), "*.*"), (std::vector<std::string>{".", ".."}));
}

}  // namespace
}  // namespace nolvo::platform
