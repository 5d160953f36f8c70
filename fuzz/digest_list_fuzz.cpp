// Feeds arbitrary text to both digest-list readers. Whatever the entry list reader takes
// must be written back to the very same text (it reads only the form it writes), and
// whatever the media list reader takes must read back the same after writing.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "archive/media/digest_lists.h"

using namespace nolvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const auto entries = media::ParseEntryDigests(text);
    if (media::FormatEntryDigests(entries) != text) std::abort();
  } catch (const media::EDigestList&) {
  }
  try {
    const auto files = media::ParseMediaDigests(text);
    const auto again = media::ParseMediaDigests(media::FormatMediaDigests(files));
    if (again.size() != files.size()) std::abort();
    for (std::size_t i = 0; i < files.size(); ++i)
      if (again[i].Name != files[i].Name || again[i].Digest != files[i].Digest) std::abort();
  } catch (const media::EDigestList&) {
  }
  return 0;
}
