// Splits arbitrary text as a Windows command line; no argument may hold more bytes than
// the text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/host_process.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t total = 0;
  for (const auto& arg : nolvo::platform::SplitCommandLine(text)) total += arg.size();
  if (total > size) std::abort();
  return 0;
}
