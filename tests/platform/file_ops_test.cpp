#include "platform/file_ops.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <chrono>

#include "platform/file_attributes.h"
#include "platform/win_error.h"
#include "tests/support/test_machine.h"

namespace nolvo::platform {
namespace {

namespace fs = std::filesystem;
using test::ReadText;
using test::TestMachine;
using test::WriteBytes;

class FileOpsTest : public ::testing::Test {
 protected:
  const Machine& M() { return tm_.Machine(); }
  fs::path C(const std::string& rel) { return tm_.DriveC() / rel; }
  bool HostHasXattrs() {
    WriteBytes(C("probe"), "");
    const bool ok = ::setxattr(C("probe").c_str(), "user.probe", "1", 1, 0) == 0;
    fs::remove(C("probe"));
    return ok;
  }
  TestMachine tm_;
};

TEST_F(FileOpsTest, AttributesOfFilesDirectoriesAndMissingPaths) {
  fs::create_directory(C("dir"));
  WriteBytes(C("file.txt"), "x");
  EXPECT_EQ(GetFileAttributes(M(), "C:\\DIR"), kFileAttributeDirectory);
  EXPECT_EQ(GetFileAttributes(M(), "C:\\FILE.TXT"), kFileAttributeArchive);
  WinError error;
  EXPECT_EQ(GetFileAttributes(M(), "C:\\missing", &error), 0xFFFFFFFFu);
  EXPECT_EQ(error, kErrorFileNotFound);
  EXPECT_EQ(GetFileAttributes(M(), "C:\\missing\\deeper", &error), 0xFFFFFFFFu);
  EXPECT_EQ(error, kErrorPathNotFound);

  ASSERT_EQ(SetFileAttributes(M(), "C:\\file.txt", kFileAttributeReadonly), kErrorSuccess);
  EXPECT_EQ(fs::status(C("file.txt")).permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_EQ(GetFileAttributes(M(), "C:\\file.txt"), kFileAttributeArchive | kFileAttributeReadonly);
  ASSERT_EQ(SetFileAttributes(M(), "C:\\file.txt", kFileAttributeNormal), kErrorSuccess);
  EXPECT_EQ(GetFileAttributes(M(), "C:\\file.txt"), kFileAttributeArchive);
  EXPECT_EQ(SetFileAttributes(M(), "C:\\gone", kFileAttributeNormal), kErrorFileNotFound);
  EXPECT_TRUE(FileExists(M(), "c:\\File.Txt"));
  EXPECT_FALSE(DirectoryExists(M(), "c:\\File.Txt"));
  EXPECT_TRUE(DirectoryExists(M(), "C:\\"));
  std::uint64_t size = 99;
  EXPECT_EQ(GetFileSize(M(), "C:\\FILE.txt", size), kErrorSuccess);
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(GetFileSize(M(), "C:\\dir", size), kErrorAccessDenied);
  EXPECT_EQ(GetFileSize(M(), "C:\\none", size), kErrorFileNotFound);
}

TEST_F(FileOpsTest, HiddenAndSystemLiveInTheDosAttribXattr) {
  if (!HostHasXattrs()) GTEST_SKIP() << "no user xattrs on this file system";
  WriteBytes(C("h.txt"), "x");
  ASSERT_EQ(SetFileAttributes(M(), "C:\\h.txt", kFileAttributeHidden | kFileAttributeSystem),
            kErrorSuccess);
  char value[16] = {};
  ASSERT_GT(::getxattr(C("h.txt").c_str(), "user.DOSATTRIB", value, sizeof(value) - 1), 0);
  EXPECT_STREQ(value, "0x6");
  EXPECT_EQ(GetFileAttributes(M(), "C:\\h.txt"),
            kFileAttributeArchive | kFileAttributeHidden | kFileAttributeSystem);
  EXPECT_TRUE(SetFileAttributes(M(), "C:\\h.txt", kFileAttributeArchive).ok());
  EXPECT_EQ(GetFileAttributes(M(), "C:\\h.txt"), kFileAttributeArchive);
}

// Root ignores file modes; the read-only attribute must still protect the file.
TEST_F(FileOpsTest, ReadOnlyFilesCannotBeDeletedOrReplaced) {
  WriteBytes(C("ro.txt"), "keep");
  EXPECT_TRUE(SetFileAttributes(M(), "C:\\ro.txt", kFileAttributeReadonly).ok());
  EXPECT_EQ(DeleteFile(M(), "C:\\RO.TXT"), kErrorAccessDenied);
  WinError error;
  EXPECT_EQ(CreateFileAlways(M(), "C:\\ro.txt", error), nullptr);
  EXPECT_EQ(error, kErrorAccessDenied);
  EXPECT_EQ(ReadText(C("ro.txt")), "keep");
}

TEST_F(FileOpsTest, HiddenOrSystemFilesAreNotReplaced) {
  if (!HostHasXattrs()) GTEST_SKIP() << "no user xattrs on this file system";
  WriteBytes(C("sys.dat"), "keep");
  EXPECT_TRUE(SetFileAttributes(M(), "C:\\sys.dat", kFileAttributeSystem).ok());
  WinError error;
  EXPECT_EQ(CreateFileAlways(M(), "C:\\sys.dat", error), nullptr);
  EXPECT_EQ(error, kErrorAccessDenied);
  EXPECT_EQ(ReadText(C("sys.dat")), "keep");
  EXPECT_EQ(DeleteFile(M(), "C:\\sys.dat"), kErrorSuccess);  // deleting is allowed
}

TEST_F(FileOpsTest, CreateAlwaysReusesAnEntryInOtherCase) {
  WriteBytes(C("Tool.txt"), "old contents");
  WinError error;
  auto s = CreateFileAlways(M(), "C:\\TOOL.TXT", error);
  ASSERT_NE(s, nullptr);
  s->WriteAll("new", 3);
  s->Close();
  EXPECT_EQ(ReadText(C("Tool.txt")), "new");
  EXPECT_FALSE(fs::exists(C("TOOL.TXT")));

  s = CreateFileAlways(M(), "C:\\Fresh.Bin", error);
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(fs::exists(C("Fresh.Bin")));
  EXPECT_EQ(CreateFileAlways(M(), "C:\\nodir\\x", error), nullptr);
  EXPECT_EQ(error, kErrorPathNotFound);
  fs::create_directory(C("adir"));
  EXPECT_EQ(CreateFileAlways(M(), "C:\\ADIR", error), nullptr);
  EXPECT_EQ(error, kErrorAccessDenied);
  // A name written as a folder never creates or truncates a file.
  EXPECT_EQ(CreateFileAlways(M(), "C:\\Tool.txt\\", error), nullptr);
  EXPECT_EQ(error, kErrorInvalidName);
  EXPECT_EQ(CreateFileAlways(M(), "C:\\newdir\\", error), nullptr);
  EXPECT_EQ(error, kErrorInvalidName);
  EXPECT_EQ(ReadText(C("Tool.txt")), "new");
  EXPECT_EQ(GetFileAttributes(M(), "C:\\Tool.txt\\", &error), kInvalidFileAttributes);
  EXPECT_EQ(error, kErrorInvalidName);
}

TEST_F(FileOpsTest, CreateAlwaysOnAnEmptyFileRenewsItsModificationTime) {
  WriteBytes(C("empty.txt"), "");
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  fs::last_write_time(C("empty.txt"), old);
  WinError error;
  auto s = CreateFileAlways(M(), "C:\\empty.txt", error);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Size(), 0);
  s->Close();
  EXPECT_GT(fs::last_write_time(C("empty.txt")), old + std::chrono::hours(24 * 399));
}

TEST_F(FileOpsTest, OpenFilesCannotBeDeletedOrOpenedAgainWithConflictingSharing) {
  WriteBytes(C("data.bin"), "abc");
  WinError error;
  {
    auto held = OpenFileRead(M(), "C:\\data.bin", ShareMode::shExclusive, error);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(DeleteFile(M(), "C:\\DATA.BIN"), kErrorSharingViolation);
    EXPECT_EQ(OpenFileRead(M(), "C:\\data.bin", ShareMode::shDenyNone, error), nullptr);
    EXPECT_EQ(error, kErrorSharingViolation);
    EXPECT_EQ(CreateFileAlways(M(), "C:\\data.bin", error), nullptr);
    EXPECT_EQ(error, kErrorSharingViolation);
    EXPECT_EQ(CreateFileFresh(M(), "C:\\data.bin", error), nullptr);
    EXPECT_EQ(error, kErrorSharingViolation);
  }
  {
    // Readers that deny writing share with each other, but keep writers out.
    auto a = OpenFileRead(M(), "C:\\data.bin", ShareMode::shDenyWrite, error);
    auto b = OpenFileRead(M(), "C:\\data.bin", ShareMode::shDenyWrite, error);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(CreateFileAlways(M(), "C:\\data.bin", error), nullptr);
    EXPECT_EQ(ReadText(C("data.bin")), "abc");
  }
  // A written file is held until it is closed.
  auto w = CreateFileAlways(M(), "C:\\out.bin", error);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(DeleteFile(M(), "C:\\out.bin"), kErrorSharingViolation);
  w->Close();
  EXPECT_EQ(DeleteFile(M(), "C:\\out.bin"), kErrorSuccess);
  EXPECT_EQ(DeleteFile(M(), "C:\\data.bin"), kErrorSuccess);
  EXPECT_EQ(DeleteFile(M(), "C:\\data.bin"), kErrorFileNotFound);
}

TEST_F(FileOpsTest, OpenReadGivesTheBytesAndReportsMissingFiles) {
  WriteBytes(C("In.Txt"), "hello");
  WinError error;
  auto s = OpenFileRead(M(), "c:\\in.txt", ShareMode::shExclusive, error);
  ASSERT_NE(s, nullptr);
  char buf[8] = {};
  EXPECT_EQ(s->Read(buf, sizeof(buf)), 5u);
  EXPECT_EQ(std::string(buf, 5), "hello");
  EXPECT_EQ(OpenFileRead(M(), "C:\\none.txt", ShareMode::shExclusive, error), nullptr);
  EXPECT_EQ(error, kErrorFileNotFound);
  EXPECT_EQ(OpenFileRead(M(), "C:\\", ShareMode::shExclusive, error), nullptr);
  EXPECT_EQ(error, kErrorAccessDenied);
  ASSERT_EQ(::mkfifo(C("pipe").c_str(), 0666), 0);
  EXPECT_EQ(OpenFileRead(M(), "C:\\pipe", ShareMode::shExclusive, error), nullptr);
  EXPECT_EQ(error, kErrorAccessDenied);
}

TEST_F(FileOpsTest, FreshCreateNeverFollowsAPlantedLink) {
  const fs::path victim = tm_.Root() / "victim";
  WriteBytes(victim, "precious");
  fs::create_symlink(victim, C("temp.arc"));
  WinError error;
  auto s = CreateFileFresh(M(), "C:\\TEMP.ARC", error);
  ASSERT_NE(s, nullptr) << error.value();
  s->WriteAll("joined", 6);
  s->Close();
  EXPECT_EQ(ReadText(victim), "precious");
  EXPECT_FALSE(fs::is_symlink(C("temp.arc")));
  EXPECT_EQ(ReadText(C("temp.arc")), "joined");
}

TEST_F(FileOpsTest, DeleteFileRefusesDirectoriesAndDevicesAndRemovesLinksOnly) {
  fs::create_directory(C("sub"));
  EXPECT_EQ(DeleteFile(M(), "C:\\sub"), kErrorAccessDenied);
  EXPECT_EQ(DeleteFile(M(), "C:\\"), kErrorAccessDenied);
  EXPECT_EQ(DeleteFile(M(), "Z:\\dev\\null"), kErrorAccessDenied);
  EXPECT_TRUE(fs::exists("/dev/null"));
  const fs::path target = tm_.Root() / "target";
  WriteBytes(target, "t");
  fs::permissions(target, fs::perms::owner_read);
  fs::create_symlink(target, C("link"));
  EXPECT_EQ(DeleteFile(M(), "C:\\link"), kErrorSuccess);
  EXPECT_TRUE(fs::exists(target));
}

TEST_F(FileOpsTest, CreateDirectoryFailsOnAnyExistingNameAndMissingParent) {
  EXPECT_EQ(CreateDirectory(M(), "C:\\Sub"), kErrorSuccess);
  EXPECT_EQ(CreateDirectory(M(), "C:\\SUB"), kErrorAlreadyExists);
  WriteBytes(C("plain"), "");
  EXPECT_EQ(CreateDirectory(M(), "C:\\PLAIN"), kErrorAlreadyExists);
  EXPECT_EQ(CreateDirectory(M(), "C:\\a\\b"), kErrorPathNotFound);
  EXPECT_EQ(CreateDirectory(M(), "C:\\Tools. "), kErrorSuccess);
  EXPECT_TRUE(fs::is_directory(C("Tools")));
  EXPECT_FALSE(fs::exists(C("SUB")));
}

TEST_F(FileOpsTest, RemoveDirectoryRefusesNonEmptyCurrentAndRootDirectories) {
  fs::create_directories(C("full/inner"));
  EXPECT_EQ(RemoveDirectory(M(), "C:\\FULL"), kErrorDirNotEmpty);
  EXPECT_EQ(RemoveDirectory(M(), "C:\\full\\INNER"), kErrorSuccess);
  EXPECT_EQ(RemoveDirectory(M(), "C:\\full\\inner"), kErrorFileNotFound);
  EXPECT_EQ(RemoveDirectory(M(), "C:\\"), kErrorAccessDenied);
  WriteBytes(C("f"), "");
  EXPECT_EQ(RemoveDirectory(M(), "C:\\f"), kErrorDirectory);

  fs::create_directory(C("stage"));
  Machine& m = tm_.Machine();
  ASSERT_EQ(m.SetCurrentDirectory("C:\\stage"), kErrorSuccess);
  EXPECT_EQ(RemoveDirectory(M(), "C:\\STAGE"), kErrorSharingViolation);
  EXPECT_TRUE(fs::exists(C("stage")));
  ASSERT_EQ(m.SetCurrentDirectory("C:\\"), kErrorSuccess);
  EXPECT_EQ(RemoveDirectory(M(), "C:\\STAGE"), kErrorSuccess);
}

}  // namespace
}  // namespace nolvo::platform
