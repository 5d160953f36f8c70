// Feeds arbitrary bytes to the profile reader as a UTF-16LE file (behind its byte-order
// mark): an unedited profile must write back byte for byte, and an edited one must read
// back its edit, still as UTF-16.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/profile_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nolvo::platform;
  static const auto codePage = std::make_shared<const CodePage>();
  const std::string bytes = "\xFF\xFE" + std::string(reinterpret_cast<const char*>(data), size);
  ProfileText profile = ProfileText::Parse(bytes, codePage);
  if (profile.Encoding() != ProfileEncoding::peUtf16LeBom) std::abort();
  if (profile.Serialize() != bytes) std::abort();
  for (const auto& name : profile.SectionNames()) (void)profile.SectionLines(name);

  profile.Set("Fuzz Section", "Fuzz Key", "value \xE9");
  const ProfileText again = ProfileText::Parse(profile.Serialize(), codePage);
  if (again.Encoding() != ProfileEncoding::peUtf16LeBom) std::abort();
  const auto value = again.Find("Fuzz Section", "Fuzz Key");
  if (!value || *value != "value \xE9") std::abort();
  return 0;
}
