#pragma once
// Single-byte ANSI code pages. Names and texts of install.cfg and archives are bytes in
// the system's code page (Windows-1252 unless NOLVO_CODEPAGE names another); host file
// names are UTF-8. A CodePage converts between the two.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace nolvo::platform {

class CodePage {
 public:
  // Windows-1252.
  CodePage();
  // A code page by number ("1252", "850") or by a converter name ("CP1250",
  // "windows-1251", "IBM437"). Throws ECodePageError when the host has no converter.
  explicit CodePage(std::string_view name);
  // The code page that NOLVO_CODEPAGE names, or Windows-1252 when it is unset or empty.
  static CodePage FromEnvironment();
  // The same, built once per value of NOLVO_CODEPAGE and shared (Windows-1252 when the
  // variable names a code page the host has no converter for). Never throws.
  static std::shared_ptr<const CodePage> Current();

  // The name this code page was made from ("1252" for the default).
  const std::string& Name() const { return name_; }

  // ANSI bytes to UTF-8. Every byte converts; bytes the code page leaves undefined
  // become U+0080..U+00FF of the same value, as Windows converts them.
  std::string ToUtf8(std::string_view ansi) const;
  // UTF-8 to ANSI bytes. Characters without a byte in this code page, and malformed
  // UTF-8, become '?'; the result is false when that happened.
  bool FromUtf8(std::string_view utf8, std::string& ansi) const;
  std::string FromUtf8(std::string_view utf8) const;

  // The Unicode code point of one ANSI byte.
  char32_t ToUnicode(std::uint8_t byte) const { return table_[byte]; }
  // The ANSI byte of one code point, or nothing when this code page has none.
  std::optional<std::uint8_t> FromUnicode(char32_t cp) const;

 private:
  void Build(const std::string& converter);

  std::string name_;
  std::array<char32_t, 256> table_{};
  std::unordered_map<char32_t, std::uint8_t> reverse_;
};

// UTF-16LE bytes (no byte-order mark) to UTF-8. Unpaired surrogates and a last odd byte
// become U+FFFD. Returns false when that happened.
bool Utf16LeToUtf8(std::string_view utf16, std::string& utf8);
// UTF-8 to UTF-16LE bytes (no byte-order mark); malformed UTF-8 becomes U+FFFD.
std::string Utf8ToUtf16Le(std::string_view utf8);

}  // namespace nolvo::platform
