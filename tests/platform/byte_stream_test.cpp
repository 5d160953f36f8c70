#include "platform/byte_stream.h"

#include <gtest/gtest.h>

#include "platform/host_file_stream.h"
#include "tests/support/temp_dir.h"

namespace nolvo::platform {
namespace {

TEST(MemoryStream, ShortReadsAtTheEndAndWritesPastTheEndGrow) {
  MemoryStream s({1, 2, 3});
  std::uint8_t buf[8] = {};
  EXPECT_EQ(s.Read(buf, 2), 2u);
  EXPECT_EQ(s.Read(buf, 8), 1u);
  EXPECT_EQ(buf[0], 3);
  EXPECT_EQ(s.Read(buf, 8), 0u);
  s.Seek(5, SeekOrigin::soBeginning);
  s.WriteAll("x", 1);
  EXPECT_EQ(s.Size(), 6);
  EXPECT_THROW(s.Seek(-1, SeekOrigin::soBeginning), EStreamError);
}

TEST(ByteStream, CopyFromRaisesWhenTheSourceEndsEarly) {
  MemoryStream src({1, 2, 3, 4});
  MemoryStream dst;
  dst.CopyFrom(src, 3);
  EXPECT_EQ(dst.Bytes(), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_THROW(dst.CopyFrom(src, 2), EStreamError);
}

TEST(HostFileStream, CreateNewRefusesAnExistingNameAndSymlinks) {
  test::TempDir dir;
  const auto file = dir.Path() / "a.bin";
  {
    HostFileStream s(file, HostFileStream::Mode::mdCreate);
    s.WriteAll("abc", 3);
    EXPECT_EQ(s.Size(), 3);
    s.Close();
  }
  EXPECT_THROW(HostFileStream(file, HostFileStream::Mode::mdCreateNew), EStreamError);
  std::filesystem::create_symlink(dir.Path() / "target", dir.Path() / "link");
  EXPECT_THROW(HostFileStream(dir.Path() / "link", HostFileStream::Mode::mdCreateNew),
               EStreamError);
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "target"));
  EXPECT_THROW(HostFileStream(dir.Path(), HostFileStream::Mode::mdRead), EStreamError);
}

}  // namespace
}  // namespace nolvo::platform
