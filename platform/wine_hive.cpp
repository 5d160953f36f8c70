#include "platform/wine_hive.h"

#include <algorithm>
#include <cstdio>

#include "platform/le_bytes.h"
#include "platform/registry_file.h"

namespace nolvo::platform {

namespace {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

std::string_view SkipSpaces(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  return s;
}

// Decodes one UTF-8 sequence at the front of `s` (removing it); nothing for a malformed
// one, whose first byte is dropped as Wine drops it.
bool TakeUtf8(std::string_view& s, char32_t& out) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  const int extra = b0 >= 0xF0 && b0 < 0xF8 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : -1;
  if (extra < 0 || s.size() <= static_cast<std::size_t>(extra)) {
    s.remove_prefix(1);
    return false;
  }
  char32_t cp = b0 & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    const auto b = static_cast<unsigned char>(s[static_cast<std::size_t>(i)]);
    if ((b & 0xC0) != 0x80) {
      s.remove_prefix(1);
      return false;
    }
    cp = cp << 6 | (b & 0x3F);
  }
  s.remove_prefix(static_cast<std::size_t>(extra) + 1);
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF) return false;
  out = cp;
  return true;
}

// Reads an escaped string up to the unescaped `end` character, removing it and the
// terminator from `s`. False when the line ends first.
bool ParseString(std::string_view& s, char end, std::u16string& out) {
  while (!s.empty()) {
    char c = s.front();
    if (c == end) {
      s.remove_prefix(1);
      return true;
    }
    if (c == '\\' && s.size() > 1) {
      s.remove_prefix(1);
      c = s.front();
      static constexpr std::string_view kLetters = "abefnrtv";
      static constexpr char16_t kCodes[] = {7, 8, 27, 12, 10, 13, 9, 11};
      if (const auto at = kLetters.find(c); at != std::string_view::npos) {
        out.push_back(kCodes[at]);
        s.remove_prefix(1);
        continue;
      }
      if (c == 'x') {
        s.remove_prefix(1);
        if (s.empty() || !IsHex(s.front())) {
          out.push_back(u'x');
          continue;
        }
        char16_t v = 0;
        for (int i = 0; i < 4 && !s.empty() && IsHex(s.front()); ++i) {
          v = static_cast<char16_t>(v * 16 + HexValue(s.front()));
          s.remove_prefix(1);
        }
        out.push_back(v);
        continue;
      }
      if (c >= '0' && c <= '7') {
        char16_t v = 0;
        for (int i = 0; i < 3 && !s.empty() && s.front() >= '0' && s.front() <= '7'; ++i) {
          v = static_cast<char16_t>(v * 8 + (s.front() - '0'));
          s.remove_prefix(1);
        }
        out.push_back(v);
        continue;
      }
      // Any other escaped character stands for itself.
    } else if (c == '\\') {
      return false;
    }
    if (static_cast<unsigned char>(c) < 0x80) {
      out.push_back(static_cast<char16_t>(c));
      s.remove_prefix(1);
      continue;
    }
    char32_t cp = 0;
    if (!TakeUtf8(s, cp)) continue;
    if (cp <= 0xFFFF) {
      out.push_back(static_cast<char16_t>(cp));
    } else {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 | (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
    }
  }
  return false;
}

void AppendUtf16Le(const std::u16string& text, std::vector<std::uint8_t>& out) {
  for (const char16_t u : text) AppendUInt16(out, u);
}

// Writes `units` with Wine's escapes; `escape` holds the characters that get a backslash
// besides the backslash itself. Returns the number of characters written.
std::size_t DumpString(std::u16string_view units, std::string_view escape, std::string& out) {
  static constexpr std::string_view kEscapes = ".......abtnvfr.............e....";
  const std::size_t before = out.size();
  char buf[16];
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    const bool hasNext = i + 1 < units.size();
    if (c > 127) {
      const char16_t next = hasNext ? units[i + 1] : 0;
      const bool hexNext = hasNext && next < 128 && IsHex(static_cast<char>(next));
      std::snprintf(buf, sizeof buf, hexNext ? "\\x%04x" : "\\x%x", static_cast<unsigned>(c));
      out += buf;
    } else if (c < 32) {
      if (kEscapes[c] != '.') {
        out += '\\';
        out += kEscapes[c];
      } else {
        const bool octalNext = hasNext && units[i + 1] >= u'0' && units[i + 1] <= u'7';
        std::snprintf(buf, sizeof buf, octalNext ? "\\%03o" : "\\%o", static_cast<unsigned>(c));
        out += buf;
      }
    } else {
      const char a = static_cast<char>(c);
      if (a == '\\' || escape.find(a) != std::string_view::npos) out += '\\';
      out += a;
    }
  }
  return out.size() - before;
}

std::u16string FromUnits(const std::vector<std::uint8_t>& data, std::size_t bytes) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < bytes; i += 2)
    units.push_back(static_cast<char16_t>(GetUInt16(&data[i])));
  return units;
}

char16_t Lower(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  return c;
}

class Parser {
 public:
  Parser(std::string_view text, std::string_view source) : text_(text), source_(source) {}

  WineHive Run() {
    WineHive hive;
    std::size_t blankStart = std::string_view::npos;  // start of the blank lines before a key
    bool first = true;
    while (pos_ < text_.size()) {
      const std::size_t lineStart = pos_;
      const std::string_view line = NextLine();
      if (first) {
        std::string_view header = line;
        if (!header.empty() && header.back() == '\r') header.remove_suffix(1);
        if (header != kHeader) Fail("not a Wine registry file");
        first = false;
        continue;
      }
      const std::string_view p = SkipSpaces(line);
      if (p.empty()) {
        if (blankStart == std::string_view::npos) blankStart = lineStart;
        continue;
      }
      const std::size_t start = blankStart == std::string_view::npos ? lineStart : blankStart;
      blankStart = std::string_view::npos;
      switch (p.front()) {
        case '[':
          Close(hive, start);
          key_ = WineHiveKey{};
          key_.path = KeyPath(p.substr(1));
          inKey_ = true;
          break;
        case '@':
        case '"':
          if (!inKey_) Fail("value before the first key");
          Value(p, lineStart);
          break;
        case '#':
          if (inKey_ && p.substr(0, 6) != "#time=") {
            std::string_view option = p;
            if (!option.empty() && option.back() == '\r') option.remove_suffix(1);
            key_.options.emplace_back(option);
          }
          break;
        case ';':
          break;
        default:
          Fail("unrecognised line");
      }
    }
    if (first) Fail("not a Wine registry file");
    Close(hive, text_.size());
    return hive;
  }

 private:
  [[noreturn]] void Fail(const std::string& why) const {
    throw ERegistryFileError(std::string(source_) + ": line " + std::to_string(line_) + ": " + why);
  }

  std::string_view NextLine() {
    ++line_;
    const std::size_t end = text_.find('\n', pos_);
    const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
    const std::string_view line = text_.substr(pos_, stop - pos_);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
    return line;
  }

  // Ends the open block (or the preamble) where the next one starts.
  void Close(WineHive& hive, std::size_t at) {
    if (!inKey_) {
      hive.preamble = std::string(text_.substr(0, at));
    } else {
      key_.text = std::string(text_.substr(textStart_, at - textStart_));
      hive.keys.push_back(std::move(key_));
    }
    textStart_ = at;
  }

  std::vector<std::u16string> KeyPath(std::string_view s) {
    std::u16string name;
    if (!ParseString(s, ']', name)) Fail("malformed key line");
    s = SkipSpaces(s);
    while (!s.empty() && s.front() >= '0' && s.front() <= '9') s.remove_prefix(1);
    if (!SkipSpaces(s).empty()) Fail("malformed key line");
    std::vector<std::u16string> path;
    std::u16string part;
    for (const char16_t c : name) {
      if (c != u'\\') {
        part.push_back(c);
      } else if (!part.empty()) {
        path.push_back(std::move(part));
        part.clear();
      }
    }
    if (!part.empty()) path.push_back(std::move(part));
    return path;
  }

  void Value(std::string_view p, std::size_t lineStart) {
    WineHiveValue v;
    if (p.front() == '"') {
      p.remove_prefix(1);
      if (!ParseString(p, '"', v.name)) Fail("malformed value name");
    } else {
      p.remove_prefix(1);
    }
    p = SkipSpaces(p);
    if (p.empty() || p.front() != '=') Fail("value line without '='");
    p = SkipSpaces(p.substr(1));
    if (Take(p, "\"") || Take(p, "str:\"")) {
      v.type = 1;
      Text(p, v);
    } else if (Take(p, "str(2):\"")) {
      v.type = 2;
      Text(p, v);
    } else if (Take(p, "str(7):\"")) {
      v.type = 7;
      Text(p, v);
    } else if (Take(p, "dword:")) {
      v.type = 4;
      std::size_t n = 0;
      std::uint32_t dw = 0;
      while (n < p.size() && IsHex(p[n]) && n < 8)
        dw = dw << 4 | static_cast<std::uint32_t>(HexValue(p[n++]));
      if (n == 0 || !SkipSpaces(p.substr(n)).empty()) Fail("malformed dword");
      for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<std::uint8_t>(dw >> (8 * i)));
    } else if (Take(p, "hex:")) {
      v.type = 3;
      Bytes(p, v.data);
    } else if (Take(p, "hex(")) {
      std::size_t n = 0;
      std::uint32_t type = 0;
      while (n < p.size() && IsHex(p[n]) && n < 8)
        type = type << 4 | static_cast<std::uint32_t>(HexValue(p[n++]));
      if (n == 0 || p.substr(n, 2) != "):") Fail("malformed hex type");
      v.type = type;
      p.remove_prefix(n + 2);
      Bytes(p, v.data);
    } else {
      Fail("unrecognised value data");
    }
    v.text = std::string(text_.substr(lineStart, pos_ - lineStart));
    key_.values.push_back(std::move(v));
  }

  static bool Take(std::string_view& p, std::string_view tag) {
    if (p.substr(0, tag.size()) != tag) return false;
    p.remove_prefix(tag.size());
    return true;
  }

  void Text(std::string_view p, WineHiveValue& v) {
    std::u16string units;
    if (!ParseString(p, '"', units)) Fail("unterminated string");
    if (!SkipSpaces(p).empty()) Fail("text after the closing quote");
    units.push_back(u'\0');
    AppendUtf16Le(units, v.data);
  }

  // A comma-separated byte list; a line ending in "\" continues on the next line.
  void Bytes(std::string_view p, std::vector<std::uint8_t>& out) {
    while (true) {
      p = SkipSpaces(p);
      while (!p.empty() && IsHex(p.front())) {
        std::size_t n = 0;
        unsigned v = 0;
        while (n < p.size() && IsHex(p[n]) && n < 2)
          v = v << 4 | static_cast<unsigned>(HexValue(p[n++]));
        if (n < p.size() && IsHex(p[n])) Fail("malformed hex byte list");
        out.push_back(static_cast<std::uint8_t>(v));
        p = SkipSpaces(p.substr(n));
        if (!p.empty() && p.front() == ',') p = SkipSpaces(p.substr(1));
      }
      if (p.empty()) return;
      if (p.front() != '\\' || !SkipSpaces(p.substr(1)).empty() || pos_ >= text_.size())
        Fail("malformed hex byte list");
      p = NextLine();
    }
  }

  std::string_view text_;
  std::string_view source_;
  std::size_t pos_ = 0;
  std::size_t line_ = 0;
  std::size_t textStart_ = 0;
  bool inKey_ = false;
  WineHiveKey key_;
};

}  // namespace

WineHive ParseWineHive(std::string_view text, std::string_view source) {
  return Parser(text, source).Run();
}

std::string FormatWineHiveValue(const WineHiveValue& value) {
  std::string out;
  std::size_t count = 0;
  if (!value.name.empty()) {
    out += '"';
    count = 1 + DumpString(value.name, "\"", out);
    out += "\"=";
    count += 2;
  } else {
    out += "@=";
    count = 2;
  }
  const auto& data = value.data;
  char buf[32];
  const bool stringType = value.type == 1 || value.type == 2 || value.type == 7;
  if (stringType && data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 2] == 0 &&
      data.back() == 0) {
    if (value.type != 1) {
      std::snprintf(buf, sizeof buf, "str(%x):", static_cast<unsigned>(value.type));
      out += buf;
    }
    out += '"';
    DumpString(FromUnits(data, data.size() - 2), "\"", out);
    out += "\"\n";
    return out;
  }
  if (value.type == 4 && data.size() == 4) {
    const std::uint32_t dw = GetUInt32(data.data());
    std::snprintf(buf, sizeof buf, "dword:%08x\n", dw);
    return out + buf;
  }
  if (value.type == 3) {
    out += "hex:";
    count += 4;
  } else {
    const int n = std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(value.type));
    out += buf;
    count += static_cast<std::size_t>(n);
  }
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", data[i]);
    out += buf;
    count += 2;
    if (i + 1 < data.size()) {
      out += ',';
      if (++count > 76) {
        out += "\\\n  ";
        count = 2;
      }
    }
  }
  out += '\n';
  return out;
}

std::string FormatWineHiveKey(std::span<const std::u16string> path,
                              std::span<const std::string> options,
                              std::span<const std::string> valueText, std::uint64_t filetime) {
  constexpr std::uint64_t kTicks1601To1970 = 116444736000000000ull;
  std::string out = "\n[";
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (i > 0) out += "\\\\";
    DumpString(path[i], "[]", out);
  }
  char buf[64];
  const std::uint64_t seconds =
      filetime > kTicks1601To1970 ? (filetime - kTicks1601To1970) / 10000000 : 0;
  std::snprintf(buf, sizeof buf, "] %u\n#time=%x%08x\n", static_cast<unsigned>(seconds),
                static_cast<unsigned>(filetime >> 32),
                static_cast<unsigned>(filetime & 0xFFFFFFFFu));
  out += buf;
  // The reader takes one CR off an option line's end (files saved with CR LF): an option
  // that ends in CR keeps it by a second one.
  for (const auto& option : options)
    out += option + (!option.empty() && option.back() == '\r' ? "\r\n" : "\n");
  for (const auto& text : valueText) out += text;
  return out;
}

std::string NewWineHivePreamble(std::string_view root, std::string_view archLine) {
  std::string out = std::string(kHeader) + "\n;; All keys relative to " + std::string(root) + "\n";
  if (!archLine.empty()) out += "\n" + std::string(archLine) + "\n";
  return out;
}

int CompareWineNames(std::u16string_view a, std::u16string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int d = static_cast<int>(Lower(a[i])) - static_cast<int>(Lower(b[i]));
    if (d != 0) return d;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

bool WinePathLess(std::span<const std::u16string> a, std::span<const std::u16string> b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i)
    if (const int d = CompareWineNames(a[i], b[i]); d != 0) return d < 0;
  return a.size() < b.size();
}

}  // namespace nolvo::platform
