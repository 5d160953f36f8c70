#include "util/copy_file_to.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "tests/support/test_machine.h"
#include "util/file_errors.h"
#include "util/file_has_attr.h"

namespace nolvo::util {
namespace {

namespace fs = std::filesystem;
using test::ReadText;
using test::TestMachine;
using test::WriteBytes;

class CopyFileToTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(tm_.Root() / "floppy");
    ASSERT_TRUE(M().MapDrive('A', tm_.Root() / "floppy").ok());
    fs::create_directories(tm_.DriveC() / "WINDOWS/Temp/q");
  }
  platform::Machine& M() { return tm_.Machine(); }
  fs::path A(const std::string& rel) { return tm_.Root() / "floppy" / rel; }
  fs::path C(const std::string& rel) { return tm_.DriveC() / rel; }
  template <typename E>
  std::string MessageOf(const std::string& src, const std::string& dst) {
    try {
      CopyFileTo(M(), src, dst);
    } catch (const E& e) {
      return e.what();
    }
    return "no error";
  }
  TestMachine tm_;
};

TEST_F(CopyFileToTest, IntoAnExistingDirectoryOrARootKeepsTheSourceName) {
  WriteBytes(A("install.exe"), "MZ program");
  CopyFileTo(M(), "A:\\install.exe", "C:\\WINDOWS\\Temp\\q");
  EXPECT_EQ(ReadText(C("WINDOWS/Temp/q/install.exe")), "MZ program");
  CopyFileTo(M(), "A:\\install.exe", "C:\\");
  EXPECT_EQ(ReadText(C("install.exe")), "MZ program");
  CopyFileTo(M(), "A:\\INSTALL.EXE", "c:\\windows\\temp\\Q\\");
  EXPECT_EQ(ReadText(C("WINDOWS/Temp/q/install.exe")), "MZ program");
  // Relative to the current directory.
  ASSERT_TRUE(M().SetCurrentDirectory("A:\\").ok());
  CopyFileTo(M(), "install.exe", "C:\\WINDOWS");
  EXPECT_EQ(ReadText(C("WINDOWS/install.exe")), "MZ program");
}

TEST_F(CopyFileToTest, CopiesBlockBoundarySizesExactly) {
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{8191}, std::size_t{8192},
                           std::size_t{8193}, std::size_t{3 * 8192}, std::size_t{100000}}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 8192) & 0xFF);
    WriteBytes(A("f.bin"), bytes);
    CopyFileTo(M(), "A:\\f.bin", "C:\\WINDOWS\\Temp\\q");
    EXPECT_EQ(ReadText(C("WINDOWS/Temp/q/f.bin")), bytes) << size;
  }
}

TEST_F(CopyFileToTest, AnExistingFileIsReplacedUnderItsOwnSpelling) {
  WriteBytes(A("new.cfg"), "new");
  WriteBytes(C("WINDOWS/Old.Cfg"), "a much longer old text");
  CopyFileTo(M(), "A:\\new.cfg", "C:\\WINDOWS\\OLD.CFG");
  EXPECT_EQ(ReadText(C("WINDOWS/Old.Cfg")), "new");
  EXPECT_FALSE(fs::exists(C("WINDOWS/OLD.CFG")));
}

TEST_F(CopyFileToTest, AMissingDestinationIsTakenForADirectory) {
  WriteBytes(A("install.cfg"), "x");
  EXPECT_TRUE(FileHasAttr(M(), "C:\\newdir", 16));
  EXPECT_EQ(MessageOf<EFCreateError>("A:\\install.cfg", "C:\\newdir"),
            "Cannot create file C:\\newdir\\install.cfg");
  EXPECT_FALSE(fs::exists(C("newdir")));
}

TEST_F(CopyFileToTest, OpenAndCreateFailuresCarryTheirMessages) {
  EXPECT_EQ(MessageOf<EFOpenError>("A:\\nope.exe", "C:\\"), "Cannot open file A:\\nope.exe");
  WriteBytes(A("src.txt"), "new");
  WriteBytes(C("WINDOWS/ro.txt"), "old");
  ASSERT_TRUE(
      platform::SetFileAttributes(M(), "C:\\WINDOWS\\ro.txt", platform::kFileAttributeReadonly)
          .ok());
  EXPECT_EQ(MessageOf<EFCreateError>("A:\\src.txt", "C:\\windows\\ro.txt"),
            "Cannot create file C:\\windows\\ro.txt");
  EXPECT_EQ(ReadText(C("WINDOWS/ro.txt")), "old");
  EXPECT_EQ(MessageOf<EFileError>("A:\\src.txt", "Q:\\x"), "Cannot create file Q:\\x\\src.txt");
}

TEST_F(CopyFileToTest, CopyingAFileOntoItselfLeavesItIntact) {
  WriteBytes(C("WINDOWS/self.txt"), "contents");
  EXPECT_EQ(MessageOf<EFCreateError>("C:\\WINDOWS\\self.txt", "C:\\WINDOWS"),
            "Cannot create file C:\\WINDOWS\\self.txt");
  EXPECT_EQ(ReadText(C("WINDOWS/self.txt")), "contents");
}

TEST_F(CopyFileToTest, AFailedWriteRaisesAndRemovesThePartialFile) {
  std::string big(20000, 'x');
  WriteBytes(A("big.bin"), big);
  // Writes past the file-size limit fail with EFBIG, as on a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 10000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string message = MessageOf<EFWriteError>("A:\\big.bin", "C:\\WINDOWS\\Temp\\q");
  ::setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(message, "Cannot write file C:\\WINDOWS\\Temp\\q\\big.bin");
  EXPECT_FALSE(fs::exists(C("WINDOWS/Temp/q/big.bin")));
  // Nothing stays held: the source can be deleted.
  EXPECT_TRUE(platform::DeleteFile(M(), "A:\\big.bin").ok());
}

TEST_F(CopyFileToTest, AFullDeviceIsReportedAndNeverRemoved) {
  if (!fs::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full on this host";
  WriteBytes(A("data.bin"), std::string(100, 'd'));
  ASSERT_TRUE(M().MapDrive('F', "/dev").ok());
  EXPECT_EQ(MessageOf<EFWriteError>("A:\\data.bin", "F:\\full"), "Cannot write file F:\\full");
  EXPECT_TRUE(fs::exists("/dev/full"));
}

}  // namespace
}  // namespace nolvo::util
