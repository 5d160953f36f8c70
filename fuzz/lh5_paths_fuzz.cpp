// Decodes arbitrary stored data twice, through the fast path and token by token (the
// observed decoder), and traps unless both give the same output, read the source as
// far and end with the same error. The first eight bytes choose the original size (up
// to 256 KB), the key and whether the entry is keyed; the rest is the stored stream.

#include <cstddef>
#include <cstdint>
#include <typeinfo>
#include <vector>

#include "archive/codec/codec_context.h"
#include "archive/codec/codec_errors.h"
#include "archive/codec/lh5.h"
#include "platform/byte_stream.h"

namespace {

struct Outcome {
  std::vector<std::uint8_t> output;
  std::int64_t source_position = 0;
  const std::type_info* error = nullptr;
};

Outcome Decode(const std::vector<std::uint8_t>& stored, std::int32_t original_size,
               const nolvo::codec::CodecComponent& component, bool keyed, bool observed) {
  using namespace nolvo;
  platform::MemoryStream source(stored);
  platform::MemoryStream dest;
  Outcome out;
  codec::CodecContext context(component, dest, source, static_cast<std::int32_t>(stored.size()),
                              true, keyed);
  try {
    if (observed) {
      codec::Lh5ExpandObserved(context, original_size, [](int, std::uint32_t) {});
    } else {
      codec::Lh5Expand(context, original_size);
    }
  } catch (const codec::ECompressError& e) {
    out.error = &typeid(e);
  } catch (const codec::ELZHBadDecodeTable& e) {
    out.error = &typeid(e);
  }
  context.FlushDest();
  out.output = dest.Bytes();
  out.source_position = source.Position();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  const std::int32_t original_size =
      static_cast<std::int32_t>((data[0] | data[1] << 8 | data[2] << 16) & 0x3FFFF);
  nolvo::codec::CodecComponent component;
  component.Key = static_cast<std::int32_t>(data[4] | data[5] << 8 | data[6] << 16);
  const bool keyed = (data[7] & 1) != 0;
  const std::vector<std::uint8_t> stored(data + 8, data + size);
  const Outcome fast = Decode(stored, original_size, component, keyed, false);
  const Outcome careful = Decode(stored, original_size, component, keyed, true);
  if (fast.output != careful.output || fast.source_position != careful.source_position ||
      (fast.error == nullptr) != (careful.error == nullptr) ||
      (fast.error != nullptr && *fast.error != *careful.error))
    __builtin_trap();
  return 0;
}
