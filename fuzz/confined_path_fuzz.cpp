// Stored names and templates from media, confined to an extraction folder: on any bytes
// and in a single- and a multi-byte code page, every part is a plain host name that
// cannot climb out of the folder or name a device.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "archive/media/confined_path.h"
#include "platform/ascii.h"

using namespace nolvo;

namespace {

void CheckParts(const media::ConfinedPath& confined) {
  for (const auto& part : confined.Parts) {
    if (part.empty() || part == "." || part == "..") std::abort();
    for (const char c : part)
      if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) std::abort();
    const std::string upper = platform::AsciiUpper(part.substr(0, part.find('.')));
    if (upper == "CON" || upper == "NUL" || upper == "AUX" || upper == "PRN") std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const platform::CodePage western("1252");
  static const platform::CodePage japanese("932");
  const std::string input(reinterpret_cast<const char*>(data), size);
  for (const platform::CodePage* cp : {&western, &japanese}) {
    CheckParts(media::ConfinePath(input, false, *cp));
    CheckParts(media::ConfinePath(input, true, *cp));
    const auto name = media::ConfineFileName(input, *cp);
    if (name.Parts.size() > 1) std::abort();
    CheckParts(name);
  }
  return 0;
}
