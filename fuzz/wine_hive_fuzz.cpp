// Feeds arbitrary text to the reader of Wine's registry files. Whatever it accepts must be
// cut into blocks that add up to the whole text, and every key written anew must read
// back to the same path, options and values.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/registry_file.h"
#include "platform/wine_hive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nolvo::platform;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  WineHive hive;
  try {
    hive = ParseWineHive(text, "fuzz");
  } catch (const ERegistryFileError&) {
    return 0;
  }
  std::string whole = hive.preamble;
  std::string rewritten = "WINE REGISTRY Version 2\n";
  for (const WineHiveKey& key : hive.keys) {
    whole += key.text;
    std::vector<std::string> lines;
    for (const WineHiveValue& v : key.values) lines.push_back(FormatWineHiveValue(v));
    rewritten += FormatWineHiveKey(key.path, key.options, lines, 0x1dd878655747f56ull);
  }
  if (whole != text) std::abort();
  const WineHive again = ParseWineHive(rewritten, "rewritten");
  if (again.keys.size() != hive.keys.size()) std::abort();
  for (std::size_t i = 0; i < hive.keys.size(); ++i) {
    if (again.keys[i].path != hive.keys[i].path || again.keys[i].options != hive.keys[i].options ||
        again.keys[i].values != hive.keys[i].values)
      std::abort();
  }
  return 0;
}
