#include "platform/dos_time.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>

#include "platform/win_error.h"

namespace nolvo::platform {

namespace {

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// The host's current offset of local time from UTC, in seconds (east positive).
long CurrentUtcOffset() {
  const time_t now = ::time(nullptr);
  struct tm local {};
  ::localtime_r(&now, &local);
  return local.tm_gmtoff;
}

WinError SetTimes(int dirfd, const char* path, int fd, std::uint16_t date, std::uint16_t time) {
  std::int64_t seconds = 0;
  if (!DosDateTimeToUnix(date, time, seconds)) return kErrorInvalidParameter;
  struct timespec times[2]{};
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  const int r = path == nullptr ? ::futimens(fd, times) : ::utimensat(dirfd, path, times, 0);
  return r == 0 ? kErrorSuccess : ErrorFromErrno(errno);
}

}  // namespace

bool DosDateTimeToUnix(std::uint16_t date, std::uint16_t time, std::int64_t& unixSeconds) {
  const int day = date & 0x1F;
  const int month = (date >> 5) & 0x0F;
  const int year = 1980 + (date >> 9);
  const int seconds = (time & 0x1F) * 2;
  const int minutes = (time >> 5) & 0x3F;
  const int hours = time >> 11;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  if (hours > 23 || minutes > 59 || seconds > 58) return false;
  struct tm fields {};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hours;
  fields.tm_min = minutes;
  fields.tm_sec = seconds;
  const std::int64_t asUtc = ::timegm(&fields);
  unixSeconds = asUtc - CurrentUtcOffset();
  return true;
}

bool UnixToDosDateTime(std::int64_t unixSeconds, std::uint16_t& date, std::uint16_t& time) {
  const time_t shifted = static_cast<time_t>(unixSeconds + CurrentUtcOffset());
  struct tm fields {};
  if (::gmtime_r(&shifted, &fields) == nullptr) return false;
  const int year = fields.tm_year + 1900;
  if (year < 1980 || year > 2107) return false;
  date = static_cast<std::uint16_t>(((year - 1980) << 9) | ((fields.tm_mon + 1) << 5) |
                                    fields.tm_mday);
  time = static_cast<std::uint16_t>((fields.tm_hour << 11) | (fields.tm_min << 5) |
                                    (fields.tm_sec / 2));
  return true;
}

WinError SetFileDosTime(HostFileStream& file, std::uint16_t date, std::uint16_t time) {
  return SetTimes(AT_FDCWD, nullptr, file.Descriptor(), date, time);
}

WinError SetFileDosTime(const Machine& machine, std::string_view path, std::uint16_t date,
                        std::uint16_t time) {
  const ResolvedPath r = machine.Resolve(path);
  if (r.error != kErrorSuccess) return r.error;
  if (!r.exists) return kErrorFileNotFound;
  return SetTimes(AT_FDCWD, r.host.c_str(), -1, date, time);
}

WinError GetFileDosTime(const Machine& machine, std::string_view path, std::uint16_t& date,
                        std::uint16_t& time) {
  const ResolvedPath r = machine.Resolve(path);
  if (r.error != kErrorSuccess) return r.error;
  if (!r.exists) return kErrorFileNotFound;
  struct stat st {};
  if (::stat(r.host.c_str(), &st) != 0) return ErrorFromErrno(errno);
  return UnixToDosDateTime(st.st_mtime, date, time) ? kErrorSuccess : kErrorInvalidParameter;
}

}  // namespace nolvo::platform
