#pragma once
// DOS date and time stamps (as archives store them) and a file's last-write time.
// A DOS stamp is local time; like DosDateTimeToFileTime followed by
// LocalFileTimeToFileTime it is converted with the UTC offset in force NOW, even for a
// date in the other daylight-saving period.

#include <cstdint>
#include <string_view>

#include "platform/host_file_stream.h"
#include "platform/machine.h"

namespace nolvo::platform {

// Date bits 0-4 day, 5-8 month, 9-15 year-1980; time bits 0-4 seconds/2, 5-10
// minutes, 11-15 hours. False for invalid fields (month 0 or 13+, day 0 or past the
// month's end, hour 24+, minute 60+, seconds/2 30+).
bool DosDateTimeToUnix(std::uint16_t date, std::uint16_t time, std::int64_t& unixSeconds);
// The other direction (local time with the current offset, even seconds rounded down);
// false for times before 1980 or after 2107.
bool UnixToDosDateTime(std::int64_t unixSeconds, std::uint16_t& date, std::uint16_t& time);

// Sets the last-write time of an open file; 87 for invalid fields, else a Win32 code.
WinError SetFileDosTime(HostFileStream& file, std::uint16_t date, std::uint16_t time);
// Sets the last-write time of the file at `path`.
WinError SetFileDosTime(const Machine& machine, std::string_view path, std::uint16_t date,
                        std::uint16_t time);
// The last-write time of the file at `path` as a DOS stamp; a Win32 code.
WinError GetFileDosTime(const Machine& machine, std::string_view path, std::uint16_t& date,
                        std::uint16_t& time);

}  // namespace nolvo::platform
