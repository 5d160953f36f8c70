// Feeds arbitrary bytes to the link file reader: it must either return a link whose
// size lies within the data or raise ELinkFormatError.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/code_page.h"
#include "platform/shell_link_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const nolvo::platform::CodePage codePage;
  try {
    const auto link =
        nolvo::platform::ParseLink(std::span<const std::uint8_t>(data, size), codePage);
    if (link.size > size) std::abort();
  } catch (const nolvo::platform::ELinkFormatError&) {
  }
  return 0;
}
