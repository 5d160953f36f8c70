#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "tests/support/temp_dir.h"

namespace nolvo::platform {
namespace {

namespace fs = std::filesystem;

std::size_t EntryCount(const fs::path& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
}

TEST(AtomicFile, CreatesAndReplacesKeepingTheModeOfTheOldFile) {
  test::TempDir dir;
  const auto file = dir.Path() / "a.ini";
  ASSERT_FALSE(WriteFileAtomic(file, "first\r\n"));
  EXPECT_EQ(test::ReadText(file), "first\r\n");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_FALSE(WriteFileAtomic(file, std::string_view("")));
  EXPECT_EQ(test::ReadText(file), "");
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(EntryCount(dir.Path()), 1u);  // no temporary file left beside it
}

TEST(AtomicFile, ReplacesASymlinkInsteadOfWritingThroughIt) {
  test::TempDir dir;
  test::WriteBytes(dir.Path() / "real", std::string("keep"));
  fs::create_symlink(dir.Path() / "real", dir.Path() / "link");
  ASSERT_FALSE(WriteFileAtomic(dir.Path() / "link", "new"));
  EXPECT_FALSE(fs::is_symlink(dir.Path() / "link"));
  EXPECT_EQ(test::ReadText(dir.Path() / "link"), "new");
  EXPECT_EQ(test::ReadText(dir.Path() / "real"), "keep");
}

TEST(AtomicFile, FailuresLeaveTheOldStateAndNoTemporaryFile) {
  test::TempDir dir;
  // The target is a directory: the rename fails, the directory stays.
  fs::create_directory(dir.Path() / "reg");
  EXPECT_EQ(WriteFileAtomic(dir.Path() / "reg", "x"), std::errc::is_a_directory);
  EXPECT_TRUE(fs::is_directory(dir.Path() / "reg"));
  // The folder does not exist: nothing is created.
  EXPECT_EQ(WriteFileAtomic(dir.Path() / "missing" / "f", "x"),
            std::errc::no_such_file_or_directory);
  EXPECT_EQ(EntryCount(dir.Path()), 1u);
  EXPECT_THROW(WriteFileAtomicOrThrow(dir.Path() / "reg", "x"), fs::filesystem_error);
}

// A write that fails halfway (here: over the process's file-size limit, a real host
// condition even for root) must not touch the old file.
TEST(AtomicFile, AFailedWriteKeepsTheOldContent) {
  test::TempDir dir;
  const auto file = dir.Path() / "registry.reg";
  test::WriteBytes(file, std::string("old content"));

  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* const old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 16;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::error_code ec = WriteFileAtomic(file, std::string(4096, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, old_handler);

  EXPECT_EQ(ec, std::errc::file_too_large);
  EXPECT_EQ(test::ReadText(file), "old content");
  EXPECT_EQ(EntryCount(dir.Path()), 1u);
}

}  // namespace
}  // namespace nolvo::platform
