// Windows path text: full-path normalisation, wildcard matching and code-page
// conversion must hold their invariants on any bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/code_page.h"
#include "platform/find_file.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

using namespace nolvo::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  DriveDirectories dirs;
  dirs.Set("C:\\WINDOWS\\Temp");
  dirs.Set("a:\\");
  dirs.current = 'C';
  std::string full;
  if (FullPathName(input, dirs, full) == kErrorSuccess) {
    // A full path is "X:\..." without "." or ".." components or doubled separators,
    // and normalising it again changes nothing.
    if (full.size() < 3 || full[1] != ':' || full[2] != '\\' || full.size() > kMaxPath)
      std::abort();
    if (full.find("\\\\") != std::string::npos || full.find('/') != std::string::npos) std::abort();
    if (full.find("\\..\\") != std::string::npos) std::abort();
    std::string again;
    if (FullPathName(full, dirs, again) != kErrorSuccess || again != full) std::abort();
  }

  const std::size_t cut = input.find('\n');
  if (cut != std::string::npos) MatchesPattern(input.substr(0, cut), input.substr(cut + 1));

  static const CodePage cp1252;
  std::string back;
  if (!cp1252.FromUtf8(cp1252.ToUtf8(input), back) || back != input) std::abort();
  cp1252.FromUtf8(input, back);
  return 0;
}
