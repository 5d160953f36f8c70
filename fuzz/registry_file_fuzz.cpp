// Feeds arbitrary text to the registry file reader; whatever it accepts must dump to a
// text that reads back to the same dump.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nolvo::platform;
  RegTree tree;
  try {
    ApplyRegText(tree, std::string_view(reinterpret_cast<const char*>(data), size), "fuzz");
  } catch (const ERegistryFileError&) {
    return 0;
  }
  const std::string dump = DumpRegText(tree);
  RegTree again;
  ApplyRegText(again, dump, "dump");
  if (DumpRegText(again) != dump) std::abort();
  return 0;
}
