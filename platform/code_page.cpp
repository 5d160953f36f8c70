#include "platform/code_page.h"

#include <iconv.h>

#include <cctype>
#include <cstdlib>
#include <mutex>

#include "platform/le_bytes.h"
#include "platform/win_error.h"

namespace nolvo::platform {

namespace {

// Windows-1252 0x80..0x9F (the rest is Latin-1), used when the host has no converter.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string ConverterName(std::string_view name) {
  bool digits = !name.empty();
  for (char c : name) digits = digits && std::isdigit(static_cast<unsigned char>(c));
  if (digits) return "CP" + std::string(name);
  return std::string(name);
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at `pos`; returns false (and skips one byte) when malformed.
bool NextUtf8(std::string_view s, std::size_t& pos, char32_t& cp) {
  const auto b0 = static_cast<std::uint8_t>(s[pos]);
  int extra = 0;
  if (b0 < 0x80) {
    cp = b0;
  } else if ((b0 & 0xE0) == 0xC0) {
    cp = b0 & 0x1F;
    extra = 1;
  } else if ((b0 & 0xF0) == 0xE0) {
    cp = b0 & 0x0F;
    extra = 2;
  } else if ((b0 & 0xF8) == 0xF0) {
    cp = b0 & 0x07;
    extra = 3;
  } else {
    ++pos;
    return false;
  }
  if (pos + extra >= s.size()) {
    ++pos;
    return false;
  }
  for (int i = 1; i <= extra; ++i) {
    const auto b = static_cast<std::uint8_t>(s[pos + i]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return false;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  constexpr char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return false;
  }
  pos += 1 + extra;
  return true;
}

}  // namespace

CodePage::CodePage() : name_("1252") {
  for (int b = 0; b < 256; ++b) table_[b] = static_cast<char32_t>(b);
  for (int b = 0; b < 32; ++b) table_[0x80 + b] = kCp1252High[b];
  for (int b = 0; b < 256; ++b) reverse_.emplace(table_[b], static_cast<std::uint8_t>(b));
}

CodePage::CodePage(std::string_view name) : name_(name) { Build(ConverterName(name)); }

CodePage CodePage::FromEnvironment() {
  const char* env = std::getenv("NOLVO_CODEPAGE");
  if (env == nullptr || *env == '\0') return CodePage();
  return CodePage(env);
}

std::shared_ptr<const CodePage> CodePage::Current() {
  static std::mutex lock;
  static std::shared_ptr<const CodePage> cached;
  static std::string cachedFor;
  const char* env = std::getenv("NOLVO_CODEPAGE");
  const std::string want = env == nullptr ? "" : env;
  std::lock_guard<std::mutex> guard(lock);
  if (!cached || cachedFor != want) {
    try {
      cached = std::make_shared<const CodePage>(want.empty() ? CodePage() : CodePage(want));
    } catch (const ECodePageError&) {
      cached = std::make_shared<const CodePage>();
    }
    cachedFor = want;
  }
  return cached;
}

void CodePage::Build(const std::string& converter) {
  iconv_t cd = ::iconv_open("UTF-32LE", converter.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) throw ECodePageError("Unsupported code page " + name_);
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    unsigned char out[8] = {};
    char* inp = &in;
    char* outp = reinterpret_cast<char*>(out);
    std::size_t inleft = 1;
    std::size_t outleft = sizeof(out);
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const std::size_t r = ::iconv(cd, &inp, &inleft, &outp, &outleft);
    if (r == static_cast<std::size_t>(-1) || sizeof(out) - outleft != 4) {
      table_[b] = static_cast<char32_t>(b);  // undefined in this code page
    } else {
      table_[b] = static_cast<char32_t>(GetUInt32(out));
    }
  }
  ::iconv_close(cd);
  for (int b = 0; b < 256; ++b) reverse_.emplace(table_[b], static_cast<std::uint8_t>(b));
}

std::string CodePage::ToUtf8(std::string_view ansi) const {
  std::string out;
  out.reserve(ansi.size());
  for (char c : ansi) AppendUtf8(out, table_[static_cast<std::uint8_t>(c)]);
  return out;
}

std::optional<std::uint8_t> CodePage::FromUnicode(char32_t cp) const {
  const auto it = reverse_.find(cp);
  if (it == reverse_.end()) return std::nullopt;
  return it->second;
}

bool CodePage::FromUtf8(std::string_view utf8, std::string& ansi) const {
  ansi.clear();
  bool exact = true;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t cp = 0;
    if (!NextUtf8(utf8, pos, cp)) {
      ansi += '?';
      exact = false;
      continue;
    }
    const auto it = reverse_.find(cp);
    if (it == reverse_.end()) {
      ansi += '?';
      exact = false;
    } else {
      ansi += static_cast<char>(it->second);
    }
  }
  return exact;
}

std::string CodePage::FromUtf8(std::string_view utf8) const {
  std::string out;
  FromUtf8(utf8, out);
  return out;
}

bool Utf16LeToUtf8(std::string_view utf16, std::string& utf8) {
  constexpr char32_t kReplacement = 0xFFFD;
  utf8.clear();
  utf8.reserve(utf16.size());
  bool exact = true;
  const std::size_t units = utf16.size() / 2;
  auto unit = [&](std::size_t i) -> char32_t { return GetUInt16(&utf16[2 * i]); };
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) <= 0xDFFF) {
      AppendUtf8(utf8, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(utf8, kReplacement);
      exact = false;
    } else {
      AppendUtf8(utf8, u);
    }
  }
  if (utf16.size() % 2 != 0) {
    AppendUtf8(utf8, kReplacement);
    exact = false;
  }
  return exact;
}

std::string Utf8ToUtf16Le(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 2);
  auto put = [&](char32_t u) { AppendUInt16(out, static_cast<std::uint16_t>(u)); };
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t cp = 0;
    if (!NextUtf8(utf8, pos, cp)) cp = 0xFFFD;
    if (cp >= 0x10000) {
      put(0xD800 + ((cp - 0x10000) >> 10));
      put(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      put(cp);
    }
  }
  return out;
}

}  // namespace nolvo::platform
