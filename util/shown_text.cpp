#include "util/shown_text.h"

#include <fmt/format.h>

namespace nolvo::util {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `s`, 0 when there is none.
std::size_t SequenceLength(std::string_view s) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  std::size_t n = 0;
  char32_t cp = 0;
  if (b0 < 0x80) return 1;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (b & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not well formed.
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return n;
}

}  // namespace

std::string EscapeControls(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    const auto b0 = static_cast<unsigned char>(utf8[0]);
    const std::size_t n = SequenceLength(utf8);
    if (n == 0) {
      out += fmt::format("\\x{:02x}", b0);
      utf8.remove_prefix(1);
      continue;
    }
    if (n == 1 && (b0 < 0x20 || b0 == 0x7F)) {
      out += fmt::format("\\x{:02x}", b0);
    } else if (n == 2 && b0 == 0xC2 && static_cast<unsigned char>(utf8[1]) < 0xA0) {
      out += fmt::format("\\x{:02x}", static_cast<unsigned char>(utf8[1]));  // C1 controls
    } else {
      out.append(utf8.substr(0, n));
    }
    utf8.remove_prefix(n);
  }
  return out;
}

std::string ShownName(std::string_view ansi, const platform::CodePage& cp) {
  return EscapeControls(cp.ToUtf8(ansi));
}

}  // namespace nolvo::util
