#include "cli/archive_text.h"

#include <fmt/format.h>

#include <stdexcept>

namespace nolvo::cli {

std::string MethodName(container::TCompressionMethod method) {
  using container::TCompressionMethod;
  switch (method) {
    case TCompressionMethod::coNone:
      return "coNone";
    case TCompressionMethod::coRLE:
      return "coRLE";
    case TCompressionMethod::coLZH:
      return "coLZH";
    case TCompressionMethod::coCustom:
      return "coCustom";
    case TCompressionMethod::coLZH5:
      return "coLZH5";
  }
  return std::to_string(static_cast<unsigned>(method));
}

std::string DosStampIso(std::int32_t fileDate) {
  const auto stamp = static_cast<std::uint32_t>(fileDate);
  const unsigned date = stamp >> 16, time = stamp & 0xFFFF;
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", 1980 + (date >> 9), (date >> 5) & 15,
                     date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
}

std::string AttributeLetters(std::int16_t attributes) {
  const auto bits = static_cast<std::uint16_t>(attributes);
  std::string s;
  s += bits & 0x01 ? 'R' : '-';
  s += bits & 0x02 ? 'H' : '-';
  s += bits & 0x04 ? 'S' : '-';
  s += bits & 0x10 ? 'D' : '-';
  s += bits & 0x20 ? 'A' : '-';
  return s;
}

}  // namespace nolvo::cli
