#pragma once
// Splits a fuzz input into the parameters of one codec run: a 4-byte key, a flags
// byte, a 3-byte original size and the stored bytes that follow.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "archive/codec/codec_errors.h"
#include "archive/codec/codec_run.h"
#include "platform/byte_stream.h"
#include "platform/le_bytes.h"

namespace nolvo::fuzz {

struct CodecFuzzInput {
  codec::CodecComponent component;
  bool keyed = false;
  std::int32_t original_size = 0;
  std::int32_t source_size = 0;
  std::vector<std::uint8_t> stored;

  static bool Parse(const std::uint8_t* data, std::size_t size, CodecFuzzInput& out) {
    if (size < 8) return false;
    out.component.Key = platform::GetInt32(data);
    const std::uint8_t flags = data[4];
    out.keyed = flags & 1;
    // Up to 128 KB of output, sometimes a huge claim that only the stored data can refute.
    out.original_size =
        static_cast<std::int32_t>(data[5] | (data[6] << 8) | ((data[7] & 0x01) << 16));
    if (flags & 2) out.original_size = 2000000000;
    out.stored.assign(data + 8, data + size);
    out.source_size = static_cast<std::int32_t>(out.stored.size());
    // Sometimes a stored size that cuts the stream short.
    if ((flags & 4) && out.source_size > 0) out.source_size = (flags >> 3) % out.source_size;
    return true;
  }
};

// Expands `input` with `method`: it must end in output whose checksum is its byte sum,
// or in one of the codec's own failures, and never read beyond the stored size.
inline void FuzzExpand(codec::TCompressionMethod method, const std::uint8_t* data, std::size_t size,
                       std::int64_t max_surplus) {
  CodecFuzzInput in;
  if (!CodecFuzzInput::Parse(data, size, in)) return;
  platform::MemoryStream source(in.stored);
  platform::MemoryStream dest;
  std::int32_t checksum = 0;
  try {
    codec::RunCodec(
        in.component, dest, source, in.source_size, in.original_size, method, checksum,
        in.keyed ? codec::TCodecDirection::cdExpandKeyed : codec::TCodecDirection::cdExpand);
  } catch (const codec::ETruncatedData&) {
    return;
  } catch (const codec::EExpandOverrun&) {
    return;
  }
  if (source.Position() > in.source_size) std::abort();
  const auto& out = dest.Bytes();
  if (static_cast<std::int64_t>(out.size()) >
      std::max<std::int64_t>(in.original_size, 0) + max_surplus)
    std::abort();
  std::uint32_t sum = 0;
  for (std::uint8_t b : out) sum += b;
  if (sum != static_cast<std::uint32_t>(checksum)) std::abort();
}

// Compresses `data` (after a 4-byte key) and expands the result: the bytes must come back.
inline void FuzzRoundTrip(codec::TCompressionMethod method, const std::uint8_t* data,
                          std::size_t size) {
  if (size < 4) return;
  codec::CodecComponent component;
  component.Key = platform::GetInt32(data);
  component.SizeMargin = -100000000;
  const std::vector<std::uint8_t> original(data + 4, data + size);
  platform::MemoryStream source(original);
  platform::MemoryStream stored;
  std::int32_t sum_in = 0;
  codec::RunCodec(component, stored, source, static_cast<std::int32_t>(original.size()), 0, method,
                  sum_in, codec::TCodecDirection::cdCompress);
  platform::MemoryStream stored_source(stored.Bytes());
  platform::MemoryStream back;
  std::int32_t sum_out = 0;
  codec::RunCodec(component, back, stored_source, static_cast<std::int32_t>(stored.Bytes().size()),
                  static_cast<std::int32_t>(original.size()), method, sum_out,
                  codec::TCodecDirection::cdExpandKeyed);
  if (back.Bytes() != original || sum_in != sum_out) std::abort();
  if (stored_source.Position() != static_cast<std::int64_t>(stored.Bytes().size())) std::abort();
}

}  // namespace nolvo::fuzz
