#include <gtest/gtest.h>

#include "tests/support/archive_media.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace nolvo::test {
namespace {

namespace fs = std::filesystem;
using container::TCompressionMethod;

TEST(ExtractCommand, HostileStoredNamesStayInsideTheFolder) {
  TempDir dir;
  const fs::path arc = dir.Path() / "hostile.arc";
  WriteArchiveFile(arc, {
                            {"..\\..\\escape.txt", "one", TCompressionMethod::coNone},
                            {"\\WINDOWS\\win.ini", "two", TCompressionMethod::coNone},
                            {"C:\\boot.ini", "three", TCompressionMethod::coNone},
                            {"dir/../../up.txt", "four", TCompressionMethod::coNone},
                            {"CON.txt", "five", TCompressionMethod::coNone},
                            {"a<b>c?.txt", "six", TCompressionMethod::coNone},
                            {"..", "seven", TCompressionMethod::coNone},
                        });
  const fs::path out = dir.Path() / "deep" / "out";
  const auto r = RunCommand({NolvoTool(), "extract", arc.string(), "-d", out.string()});
  // The entry with no usable name is reported and makes the run fail; the rest is written.
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(FilesBelow(out), (std::vector<std::string>{"WINDOWS/win.ini", "_CON.txt", "a_b_c_.txt",
                                                       "boot.ini", "dir/up.txt", "escape.txt"}));
  EXPECT_EQ(ReadText(out / "escape.txt"), "one");
  EXPECT_EQ(ReadText(out / "boot.ini"), "three");
  // Nothing was written beside or above the output folder.
  EXPECT_EQ(FilesBelow(dir.Path()).size(), 7u);
  for (const char* reported : {"escape.txt", "win.ini", "boot.ini", "CON.txt", "a<b>c?.txt"})
    EXPECT_NE(r.err.find(reported), std::string::npos) << reported << "\n" << r.err;
}

TEST(ExtractCommand, SymbolicLinksInTheFolderAreNotFollowed) {
  TempDir dir;
  const fs::path arc = dir.Path() / "a.arc";
  WriteArchiveFile(arc, {{"sub\\x.txt", "data", TCompressionMethod::coNone}});
  const fs::path out = dir.Path() / "out";
  const fs::path elsewhere = dir.Path() / "elsewhere";
  fs::create_directories(out);
  fs::create_directories(elsewhere);
  fs::create_directory_symlink(elsewhere, out / "sub");
  const auto r = RunCommand({NolvoTool(), "extract", arc.string(), "-d", out.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("symbolic link"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_empty(elsewhere));
}

TEST(ExtractCommand, DamagedEntryLeavesNoFileAndIsNamed) {
  TempDir dir;
  const fs::path arc = dir.Path() / "a.arc";
  WriteArchiveFile(arc, {{"good.txt", SampleBytes(4000, 7)},
                         {"bad.txt", SampleBytes(9000, 8)},
                         {"after.txt", SampleBytes(100, 9)}});
  // Flip bytes inside the second entry's stored data (found through its listed position).
  auto list = RunCommand({NolvoTool(), "list", arc.string()});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  auto bytes = ReadBytes(arc);
  std::string data(bytes.begin(), bytes.end());
  const auto name = data.find("bad.txt");
  ASSERT_NE(name, std::string::npos);
  for (std::size_t i = name + 40; i < name + 60; ++i) data[i] = static_cast<char>(data[i] ^ 0x5A);
  WriteBytes(arc, data);

  auto r = RunCommand({NolvoTool(), "test", arc.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("bad.txt"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("good.txt"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("after.txt"), std::string::npos) << r.err;

  const fs::path out = dir.Path() / "out";
  r = RunCommand({NolvoTool(), "extract", arc.string(), "-d", out.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("bad.txt"), std::string::npos) << r.err;
  EXPECT_EQ(FilesBelow(out), (std::vector<std::string>{"good.txt"}));
  EXPECT_EQ(ReadText(out / "good.txt"), SampleBytes(4000, 7));
}

TEST(ExtractCommand, ArchiveCutInsideAnEntryIsAnError) {
  TempDir dir;
  const fs::path arc = dir.Path() / "a.arc";
  WriteArchiveFile(arc, {{"one.txt", SampleBytes(3000, 1)}, {"two.txt", SampleBytes(3000, 2)}});
  auto bytes = ReadBytes(arc);
  bytes.resize(bytes.size() - 10);
  WriteBytes(arc, bytes);
  auto r = RunCommand({NolvoTool(), "test", arc.string()});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  r = RunCommand({NolvoTool(), "extract", arc.string(), "-d", (dir.Path() / "out").string()});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("damaged"), std::string::npos) << r.err;
  // The damage is found before anything is written.
  EXPECT_TRUE(FilesBelow(dir.Path() / "out").empty());
}

}  // namespace
}  // namespace nolvo::test
