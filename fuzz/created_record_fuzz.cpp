// Feeds arbitrary text to the reader of the created section of uninstall.cfg: every entry
// it takes must write back to a line that reads as the same entry.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/profile_text.h"
#include "setup/created_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nolvo;
  const std::string text =
      "[Nolvo Created]\r\n" + std::string(reinterpret_cast<const char*>(data), size);
  const auto entries = setup::ReadCreatedEntries(platform::ProfileText::Parse(text));
  for (const auto& e : entries) {
    const auto again = setup::ReadCreatedEntries(
        platform::ProfileText::Parse("[Nolvo Created]\r\n" + setup::FormatCreatedLine(e) + "\r\n"));
    if (again.size() != 1 || again[0].kind != e.kind || again[0].path != e.path ||
        again[0].size != e.size || again[0].modified != e.modified)
      std::abort();
  }
  return 0;
}
