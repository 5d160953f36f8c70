#include "platform/registry_file.h"

#include <cstdio>
#include <vector>

#include "platform/le_bytes.h"

namespace nolvo::platform {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() &&
         FoldRegName(s.substr(0, prefix.size())) == FoldRegName(prefix);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses 1..max_digits hex digits making up all of `s`.
bool ParseHex(std::string_view s, std::size_t max_digits, std::uint32_t& out) {
  if (s.empty() || s.size() > max_digits) return false;
  out = 0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    out = out << 4 | static_cast<std::uint32_t>(d);
  }
  return true;
}

// CR LF, LF and CR all end a line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const auto end = text.find_first_of("\r\n");
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    const std::size_t skip = text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    text.remove_prefix(end + skip);
  }
  return lines;
}

class Parser {
 public:
  Parser(RegTree& tree, std::string_view text, std::string_view source)
      : tree_(tree), lines_(SplitLines(text)), source_(source) {}

  void Run() {
    // Blank lines may precede the header; a file of nothing but blanks is empty.
    while (index_ < lines_.size() && TrimRight(TrimLeft(lines_[index_])).empty()) ++index_;
    if (index_ == lines_.size()) return;
    const std::string_view header = TrimRight(TrimLeft(lines_[index_]));
    if (header != kHeader4 && header != kHeader5) Fail("not a registry file header");
    for (++index_; index_ < lines_.size(); ++index_) {
      const std::string_view line = TrimRight(TrimLeft(lines_[index_]));
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        KeyLine(line);
      } else if (line.front() == '"' || line.front() == '@') {
        ValueLine(line);
      } else {
        Fail("unrecognised line");
      }
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& why) const {
    throw ERegistryFileError(std::string(source_) + ": line " + std::to_string(index_ + 1) + ": " +
                             why);
  }

  void KeyLine(std::string_view line) {
    if (line.back() != ']') Fail("key line without closing ']'");
    std::string_view path = line.substr(1, line.size() - 2);
    const bool remove = !path.empty() && path.front() == '-';
    if (remove) path.remove_prefix(1);
    const auto parts = SplitRegPath(path);
    if (!parts || parts->empty() || parts->size() > kMaxRegDepth + 1) Fail("malformed key path");
    for (const std::string_view part : *parts)
      if (!IsValidKeyName(part)) Fail("malformed key path");
    std::shared_ptr<RegNode> node = tree_.Root((*parts)[0]);
    if (!node) Fail("unknown root key");
    current_ = nullptr;
    seen_key_ = true;
    if (remove) {
      if (parts->size() == 1) Fail("a root key cannot be deleted");
      for (std::size_t i = 1; node && i < parts->size(); ++i) node = node->FindChild((*parts)[i]);
      if (node) DetachNode(node);
      return;  // values that follow a deletion line are ignored, as regedit does
    }
    for (std::size_t i = 1; i < parts->size(); ++i) {
      bool created = false;
      node = AddChild(node, (*parts)[i], created);
    }
    current_ = node;
  }

  // Reads a quoted string starting at s[pos] == '"'; returns the index after its closing
  // quote. \\ and \" are escapes; any other backslash is kept as it is.
  std::size_t Quoted(std::string_view s, std::size_t pos, std::string& out) const {
    for (++pos; pos < s.size(); ++pos) {
      const char c = s[pos];
      if (c == '"') return pos + 1;
      if (c == '\\' && pos + 1 < s.size() && (s[pos + 1] == '\\' || s[pos + 1] == '"')) ++pos;
      out.push_back(s[pos]);
    }
    Fail("unterminated string");
  }

  void ValueLine(std::string_view line) {
    RegValue value;
    std::size_t pos = 1;
    if (line.front() == '"') pos = Quoted(line, 0, value.name);
    std::string_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest.front() != '=') Fail("value line without '='");
    if (!IsValidValueName(value.name)) Fail("malformed value name");
    rest = TrimLeft(rest.substr(1));
    const bool remove = rest == "-";
    if (!remove) Data(rest, value);
    // Values below a "[-key]" line belong to no key and are dropped, as regedit does.
    if (!current_) {
      if (!seen_key_) Fail("value outside of a key");
      return;
    }
    const std::string folded = FoldRegName(value.name);
    if (remove) {
      current_->values.erase(folded);
      return;
    }
    // A value written again keeps the first spelling of its name.
    if (const auto it = current_->values.find(folded); it != current_->values.end())
      value.name = it->second.name;
    current_->values.insert_or_assign(folded, std::move(value));
  }

  // The data part of a value line (after "="): a quoted text, dword or hex list.
  void Data(std::string_view rest, RegValue& value) {
    if (!rest.empty() && rest.front() == '"') {
      std::string text;
      if (Quoted(rest, 0, text) != rest.size()) Fail("text after the closing quote");
      value.type = RegType::kSz;
      value.data = RegStringData(text);
    } else if (StartsWithNoCase(rest, "dword:")) {
      std::uint32_t dword = 0;
      if (!ParseHex(rest.substr(6), 8, dword)) Fail("malformed dword");
      value.type = RegType::kDword;
      for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<std::uint8_t>(dword >> (8 * i)));
    } else if (StartsWithNoCase(rest, "hex:")) {
      value.type = RegType::kBinary;
      value.data = Bytes(rest.substr(4));
    } else if (StartsWithNoCase(rest, "hex(")) {
      const auto close = rest.find("):");
      if (close == std::string_view::npos || !ParseHex(rest.substr(4, close - 4), 8, value.type))
        Fail("malformed hex type");
      value.data = Bytes(rest.substr(close + 2));
    } else {
      Fail("unrecognised value data");
    }
  }

  // A comma-separated byte list; a line ending in "\" continues on the next line.
  std::vector<std::uint8_t> Bytes(std::string_view first) {
    std::string list(first);
    while (!list.empty() && list.back() == '\\' && index_ + 1 < lines_.size()) {
      list.pop_back();
      list += TrimRight(TrimLeft(lines_[++index_]));
    }
    std::vector<std::uint8_t> bytes;
    std::string_view rest = TrimRight(TrimLeft(list));
    while (!rest.empty()) {
      const auto comma = rest.find(',');
      const std::string_view item = TrimRight(TrimLeft(rest.substr(0, comma)));
      std::uint32_t byte = 0;
      // A trailing comma is tolerated; an empty item elsewhere is not.
      if (item.empty() && comma == std::string_view::npos) break;
      if (!ParseHex(item, 2, byte)) Fail("malformed hex byte list");
      bytes.push_back(static_cast<std::uint8_t>(byte));
      if (comma == std::string_view::npos) break;
      rest = rest.substr(comma + 1);
    }
    return bytes;
  }

  RegTree& tree_;
  std::vector<std::string_view> lines_;
  std::string_view source_;
  std::size_t index_ = 0;
  std::shared_ptr<RegNode> current_;
  bool seen_key_ = false;
};

std::string Escaped(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// True when string data can be written as a quoted text: one final NUL, and no other NUL,
// CR or LF.
bool IsPlainString(const std::vector<std::uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (std::size_t i = 0; i + 1 < data.size(); ++i)
    if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') return false;
  return true;
}

void DumpValue(const RegValue& value, std::string& out) {
  std::string line = value.name.empty() ? "@=" : Escaped(value.name) + "=";
  const auto& data = value.data;
  char buf[16];
  if (value.type == RegType::kSz && IsPlainString(data)) {
    out += line +
           Escaped(std::string_view(reinterpret_cast<const char*>(data.data()), data.size() - 1)) +
           "\r\n";
    return;
  }
  if (value.type == RegType::kDword && data.size() == 4) {
    const std::uint32_t v = GetUInt32(data.data());
    std::snprintf(buf, sizeof buf, "dword:%08x", v);
    out += line + buf + "\r\n";
    return;
  }
  if (value.type == RegType::kBinary) {
    line += "hex:";
  } else {
    std::snprintf(buf, sizeof buf, "hex(%x):", value.type);
    line += buf;
  }
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", data[i]);
    line += buf;
    if (i + 1 == data.size()) break;
    line += ',';
    // Keep lines near 80 columns, as regedit does.
    if (line.size() > 76) {
      out += line + "\\\r\n";
      line = "  ";
    }
  }
  out += line + "\r\n";
}

void DumpNode(const RegNode& node, const std::string& path, bool is_root, std::string& out) {
  if (!is_root || !node.values.empty()) {
    out += "[" + path + "]\r\n";
    for (const auto& [folded, value] : node.values) DumpValue(value, out);
    out += "\r\n";
  }
  for (const auto& [folded, child] : node.children)
    DumpNode(*child, path + "\\" + child->name, false, out);
}

}  // namespace

void ApplyRegText(RegTree& tree, std::string_view text, std::string_view source) {
  Parser(tree, text, source).Run();
}

std::string DumpRegText(const RegTree& tree) {
  std::string out = std::string(kHeader4) + "\r\n\r\n";
  for (const auto& [folded, root] : tree.Top()->children) DumpNode(*root, root->name, true, out);
  return out;
}

}  // namespace nolvo::platform
