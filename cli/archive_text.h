#pragma once
// Text forms shared by the archive commands: method names, DOS dates, attribute letters.

#include <cstdint>
#include <string>

#include "archive/container/compression_method.h"

namespace nolvo::cli {

// "coNone", "coRLE", "coLZH", "coCustom", "coLZH5", or the number for any other value.
std::string MethodName(container::TCompressionMethod method);
// The DOS stamp (date high, time low) as ISO 8601 local time, "YYYY-MM-DDTHH:MM:SS".
std::string DosStampIso(std::int32_t fileDate);
// "RHSDA" letters of the attribute bits, "-" for each bit not set.
std::string AttributeLetters(std::int16_t attributes);

}  // namespace nolvo::cli
