#pragma once
// The compression methods an archive entry can record, and the three-letter ids that name
// them in the archive header.

#include <cstdint>
#include <optional>
#include <string>

#include "archive/codec/compression_method.h"

namespace nolvo::container {

// One byte in the entry header. Values above coLZH5 occur only in damaged or foreign
// archives; the enum's fixed underlying type holds them unchanged.
using codec::TCompressionMethod;

// "NON", "RLE", "LZH", "CUS" or "LH5"; empty for values above coLZH5.
std::string MethodIdText(TCompressionMethod method);

// The method whose id equals `id` exactly (case-sensitive), checked in ordinal order.
std::optional<TCompressionMethod> MethodFromId(const std::string& id);

// Whether the entry's stored data go through the codec run (coRLE, coLZH, coLZH5).
bool IsCodecMethod(TCompressionMethod method);

}  // namespace nolvo::container
