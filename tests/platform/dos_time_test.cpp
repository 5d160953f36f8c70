#include "platform/dos_time.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdlib>

#include "platform/disk_space.h"
#include "platform/file_ops.h"
#include "platform/win_error.h"
#include "tests/support/test_machine.h"

namespace nolvo::platform {
namespace {

namespace fs = std::filesystem;
using test::TestMachine;
using test::WriteBytes;

constexpr std::uint16_t Date(int y, int m, int d) {
  return static_cast<std::uint16_t>(((y - 1980) << 9) | (m << 5) | d);
}
constexpr std::uint16_t Time(int h, int mi, int s) {
  return static_cast<std::uint16_t>((h << 11) | (mi << 5) | (s / 2));
}

// Pins the time zone for one test and restores UTC afterwards.
class ZoneGuard {
 public:
  explicit ZoneGuard(const char* tz) {
    ::setenv("TZ", tz, 1);
    ::tzset();
  }
  ~ZoneGuard() {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
};

TEST(DosTimeTest, FieldsDecodeAsUtcUnderUtc) {
  ZoneGuard zone("UTC");
  std::int64_t t = 0;
  ASSERT_TRUE(DosDateTimeToUnix(Date(1996, 7, 15), Time(13, 45, 30), t));
  EXPECT_EQ(t, 837438330);  // 1996-07-15 13:45:30 UTC
  ASSERT_TRUE(DosDateTimeToUnix(Date(1980, 1, 1), 0, t));
  EXPECT_EQ(t, 315532800);
  std::uint16_t d = 0;
  std::uint16_t tm = 0;
  ASSERT_TRUE(UnixToDosDateTime(837438331, d, tm));  // odd seconds round down
  EXPECT_EQ(d, Date(1996, 7, 15));
  EXPECT_EQ(tm, Time(13, 45, 30));
  EXPECT_FALSE(UnixToDosDateTime(0, d, tm));
}

TEST(DosTimeTest, TheCurrentOffsetAppliesEvenToADateInTheOtherSeason) {
  // A fixed zone without daylight saving: UTC = local - 5h whatever the date.
  ZoneGuard zone("XST+5");
  std::int64_t winter = 0;
  std::int64_t summer = 0;
  ASSERT_TRUE(DosDateTimeToUnix(Date(2000, 1, 10), Time(12, 0, 0), winter));
  ASSERT_TRUE(DosDateTimeToUnix(Date(2000, 7, 10), Time(12, 0, 0), summer));
  EXPECT_EQ(winter, 947505600 + 5 * 3600);
  EXPECT_EQ(summer - winter, 182 * 86400);  // no DST hour between them

  // A zone with daylight saving: both dates shift by the offset in force now.
  ZoneGuard dst("CET-1CEST,M3.5.0,M10.5.0/3");
  const time_t now = ::time(nullptr);
  struct tm local {};
  ::localtime_r(&now, &local);
  ASSERT_TRUE(DosDateTimeToUnix(Date(2000, 1, 10), Time(12, 0, 0), winter));
  ASSERT_TRUE(DosDateTimeToUnix(Date(2000, 7, 10), Time(12, 0, 0), summer));
  EXPECT_EQ(winter, 947505600 - local.tm_gmtoff);
  EXPECT_EQ(summer, 947505600 + 182 * 86400 - local.tm_gmtoff);
}

TEST(DosTimeTest, InvalidFieldsFail) {
  std::int64_t t = 0;
  EXPECT_FALSE(DosDateTimeToUnix(Date(1999, 0, 1), 0, t));
  EXPECT_FALSE(DosDateTimeToUnix(Date(1999, 13, 1), 0, t));
  EXPECT_FALSE(DosDateTimeToUnix(Date(1999, 1, 0), 0, t));
  EXPECT_FALSE(DosDateTimeToUnix(Date(1999, 2, 29), 0, t));
  EXPECT_TRUE(DosDateTimeToUnix(Date(2000, 2, 29), 0, t));
  EXPECT_FALSE(DosDateTimeToUnix(Date(1999, 1, 1), Time(24, 0, 0), t));
  EXPECT_FALSE(DosDateTimeToUnix(Date(1999, 1, 1), Time(0, 60, 0), t));
  EXPECT_FALSE(DosDateTimeToUnix(Date(1999, 1, 1), 30, t));  // 60 seconds
}

TEST(DosTimeTest, SetsTheLastWriteTimeOfOpenAndClosedFiles) {
  ZoneGuard zone("UTC");
  TestMachine tm;
  WinError error;
  auto s = CreateFileAlways(tm.Machine(), "C:\\stamp.txt", error);
  ASSERT_NE(s, nullptr);
  s->WriteAll("x", 1);
  ASSERT_EQ(SetFileDosTime(*s, Date(1996, 7, 15), Time(13, 45, 30)), kErrorSuccess);
  s->Close();
  EXPECT_EQ(fs::last_write_time(tm.DriveC() / "stamp.txt").time_since_epoch(),
            (fs::file_time_type::clock::from_sys(
                 std::chrono::sys_seconds(std::chrono::seconds(837438330))))
                .time_since_epoch());
  ASSERT_EQ(SetFileDosTime(tm.Machine(), "C:\\STAMP.TXT", Date(2001, 2, 3), Time(4, 5, 6)),
            kErrorSuccess);
  std::uint16_t d = 0;
  std::uint16_t t = 0;
  ASSERT_EQ(GetFileDosTime(tm.Machine(), "c:\\stamp.txt", d, t), kErrorSuccess);
  EXPECT_EQ(d, Date(2001, 2, 3));
  EXPECT_EQ(t, Time(4, 5, 6));
  EXPECT_EQ(SetFileDosTime(tm.Machine(), "C:\\stamp.txt", 0, 0), kErrorInvalidParameter);
  EXPECT_EQ(SetFileDosTime(tm.Machine(), "C:\\none", Date(2001, 2, 3), 0), kErrorFileNotFound);
}

TEST(DiskSpaceTest, ReportsTheVolumesAvailableBytesAndSaturatesTo32Bits) {
  TestMachine tm;
  std::uint64_t available = 0;
  ASSERT_EQ(GetDiskFreeSpace(tm.Machine(), "C:\\", available), kErrorSuccess);
  const auto expected = fs::space(tm.DriveC()).available;
  EXPECT_NEAR(static_cast<double>(available), static_cast<double>(expected), 64.0 * 1024 * 1024);
  std::uint64_t deeper = 0;
  ASSERT_EQ(GetDiskFreeSpace(tm.Machine(), "C:\\not\\yet\\made", deeper), kErrorSuccess);
  EXPECT_NEAR(static_cast<double>(deeper), static_cast<double>(available), 64.0 * 1024 * 1024);
  EXPECT_EQ(GetDiskFreeSpace(tm.Machine(), "Q:\\", available), kErrorPathNotFound);
  EXPECT_EQ(SaturateFreeSpace32(5), 5);
  EXPECT_EQ(SaturateFreeSpace32(2147483647ull), 2147483647);
  EXPECT_EQ(SaturateFreeSpace32(83635544064ull), 2147483647);
  EXPECT_EQ(SaturateFreeSpace32(4294967296ull + 10), 2147483647);
}

}  // namespace
}  // namespace nolvo::platform
